#pragma once
// A moment as UTC text, in a strftime format: the one place the system turns
// Unix seconds into a calendar date and time (dates in descriptions, file
// stamps, exported samples, the forecast's date).

#include <cstdint>
#include <string>

namespace px::platform::sim {

// `seconds` since 1970 (UTC), whole seconds toward the past; empty when the
// calendar cannot hold the moment.
std::string utc_text(std::int64_t seconds, const char* format);
// The same for a moment with a fraction: the second it falls in.
std::string utc_text(double seconds, const char* format);

}  // namespace px::platform::sim
