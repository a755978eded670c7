#pragma once
// The device time a user types: "HH:MM" (today, local time), "YYYY-MM-DD HH:MM[:SS]"
// (local time) or Unix seconds.

#include <optional>
#include <string>

namespace device {

// `now_unix` decides what "today" is for "HH:MM".
std::optional<double> parse_clock_time(const std::string& text, double now_unix);

}  // namespace device
