#pragma once
// `simdevice history remaining`: the time to empty or to full, as text or JSON.

#include <nlohmann/json.hpp>
#include <string>

#include "history/remaining_estimate.h"

namespace cli {

// JSON: {"status", "direction", "seconds", "seconds_low", "seconds_high",
// "current_ma"} (whole numbers; null where nothing applies). Text: one line.
nlohmann::ordered_json remaining_json(const history::RemainingEstimate& estimate);
std::string remaining_output(const history::RemainingEstimate& estimate, bool as_json);

}  // namespace cli
