#pragma once
// The figures the panes derive from the battery data file and the device.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/value.h"

namespace px::prefs {

// The battery data file read now (nothing when absent or unreadable).
platform::foundation::Value battery_data();

// The stored Temperature (hundredths of a degree Celsius) written with two
// decimals: 3050 → "30.50", 950 → "9.50", -250 → "-2.50", 5 → "0.05".
// Nothing when the value is missing or not a number.
std::optional<std::string> temperature_text(const platform::foundation::Value& temperature);
// The temperature text, or the missing-object placeholder, as a value for "%@".
platform::foundation::Value temperature_value(const platform::foundation::Value& temperature);

// The level percent is shared::level_percent (shared/battery_level.h).

}  // namespace px::prefs
