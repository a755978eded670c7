#pragma once
// The time to empty or to full as `simdevice history remaining` prints it
// (text or JSON) and the page's state document carries it.

#include <nlohmann/json.hpp>
#include <string>

#include "history/remaining_estimate.h"
#include "history/kept_reader.h"

namespace px::host::status {

// JSON: {"status", "direction", "seconds", "seconds_low", "seconds_high",
// "current_ma"} (whole numbers; null where nothing applies). Text: one line.
nlohmann::ordered_json remaining_json(const history::RemainingEstimate& estimate);

// The estimate at device time `now` from the store `store` keeps open, as
// remaining_json gives it, with the panes' wording as "text" ("3 h 40 min
// (3 h 10 – 4 h 5)", "Calculating…", "" when nothing applies).
nlohmann::json time_left_json(history::KeptReader& store, double now);

std::string remaining_output(const history::RemainingEstimate& estimate, bool as_json);

}  // namespace px::host::status
