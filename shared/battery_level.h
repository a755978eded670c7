#pragma once
// The battery level as both deliverables count it: the platform's level
// (0…1, negative when unknown) as a whole percent.

#include <cstdint>
#include <limits>
#include <optional>

namespace px::shared {

// A 32-bit float truncated toward zero, saturating at the 32-bit limits
// (NaN counts as 0).
constexpr std::int32_t truncate_to_int32(float value) {
  if (value != value) return 0;
  if (value >= 2147483647.0f) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Level × 100 as a 32-bit float, truncated toward zero and saturating; a
// level that is NaN or negative is unknown: no percent, so nothing fires,
// nothing is recorded and the battery is not "fully charged".
constexpr std::optional<std::int32_t> level_percent(float level) {
  if (level != level || level < 0.0f) return std::nullopt;
  return truncate_to_int32(level * 100.0f);
}

}  // namespace px::shared
