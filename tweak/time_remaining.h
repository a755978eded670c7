#pragma once
// The time left to empty or to full as the tweak shows it (the popup's line,
// the status-bar clock): estimated from the broadcasts of the last half hour,
// which the tweak keeps in memory whether or not the history is kept.

#include <string>

#include "history/remaining_estimate.h"
#include "platform/foundation/value.h"

namespace px::tweak {

// Remembers one broadcast's status (called for every battery broadcast).
void rememberBatteryStatus(const platform::foundation::Value& status);
// The estimate as of the device's clock now.
history::RemainingEstimate timeRemaining();
// The popup's line: "\nTime to Empty: 3 h 40 min (3 h 10 – 4 h 5)\n".
std::string timeRemainingLine();
// Forgets the remembered broadcasts (a new SpringBoard run).
void resetTimeRemaining();

}  // namespace px::tweak
