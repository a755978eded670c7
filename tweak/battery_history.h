#pragma once
// The battery history as the tweak keeps it: one sample per battery broadcast,
// written inside the broadcast handler after the battery data file (no thread
// or timer of its own), and the store cleared when the settings bundle's
// "Clear History" button posts its notification. A store that cannot be
// written costs the broadcast nothing else: the data file and the mirrors are
// already written, and each kind of failure is logged once per run.

#include <string>

#include "platform/foundation/value.h"

namespace px::tweak {

// Records `status` (the broadcast's BatteryStatus) as one sample.
void recordBatteryHistory(const platform::foundation::Value& status);

// Logs a failed write of the broadcast ("battery data file not written", a
// store's kind of failure) once per run: a disk that stays full writes one
// line, not one per broadcast.
void logFailureOnce(const std::string& what, const std::string& detail);

// Start-up: observes the clear notification.
void startBatteryHistory();

// Closes the store and forgets which failures were logged (a new SpringBoard run).
void resetBatteryHistory();

}  // namespace px::tweak
