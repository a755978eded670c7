#pragma once
// The time left as the user reads it, one wording for every place it shows:
// "3 h 40 min (3 h 10 – 4 h 5)" in the Battery Data pane and the popup,
// "3:40" behind the status-bar clock.

#include <string>

#include "history/remaining_estimate.h"

namespace px::history {

// "Calculating…", shown until the estimate knows enough.
inline constexpr const char* kCalculatingText = "Calculating\u2026";

// "3 h 40 min", "25 min", "less than a minute".
std::string duration_text(double seconds);
// The estimate with its range: "3 h 40 min (3 h 10 – 4 h 5)"; "Calculating…";
// empty when nothing applies.
std::string remaining_text(const RemainingEstimate& estimate);
// The pane's row for one direction: the estimate when it is that direction's,
// "—" otherwise.
std::string remaining_row_text(const RemainingEstimate& estimate, RemainingDirection row);
// "3:40" (hours and minutes) for the status-bar clock; empty unless ok.
std::string remaining_clock_text(const RemainingEstimate& estimate);

}  // namespace px::history
