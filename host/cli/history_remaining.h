#pragma once
// `simdevice history remaining`: the time to empty or to full, as text or JSON.

#include <string>

#include "history/remaining_estimate.h"

namespace cli {

// JSON: {"status", "direction", "seconds", "seconds_low", "seconds_high",
// "current_ma"} (whole numbers; null where nothing applies). Text: one line.
std::string remaining_output(const history::RemainingEstimate& estimate, bool as_json);

}  // namespace cli
