#pragma once
// The battery level as every host screen shows it: the whole percent the
// add-on itself acts on (px::shared::level_percent), so the "19%" a person reads is
// the 19 % the power-saving threshold compares with, never a rounded "20%".

#include <optional>
#include <string>
#include <string_view>

#include "shared/battery_level.h"

namespace px::host::common {

// The level (0…1, negative when unknown) as the platform hands it to the
// add-on: a float, truncated to a whole percent.
inline std::optional<int> shown_level_percent(double level) {
  auto percent = shared::level_percent(static_cast<float>(level));
  if (!percent) return std::nullopt;
  return static_cast<int>(*percent);
}

// "19%", or `unknown` when the level is unknown.
inline std::string level_percent_text(double level, std::string_view unknown) {
  auto percent = shown_level_percent(level);
  return percent ? std::to_string(*percent) + "%" : std::string(unknown);
}

}  // namespace px::host::common
