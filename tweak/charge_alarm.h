#pragma once
// The charge alarm: while the charger is connected, the first time the level
// percent reaches chargeAlarmLevel, an alert says so, once per connection of
// the charger and only when the charge came up from below that level in it
// (plugging in above it says nothing). Nothing while discharging.

#include <cstdint>

#include "platform/objc/runtime.h"

namespace px::tweak {

// The level the alarm goes off at: chargeAlarmLevel truncated, within 50–100.
std::int32_t chargeAlarmThreshold(float chargeAlarmLevel);

// Runs the alarm for the device's level percent `level` and battery state;
// `controller` becomes the alert's delegate.
void runChargeAlarm(const platform::objc::id& controller, std::int32_t level, int batteryState);

// Back to no connection seen (a new SpringBoard run).
void resetChargeAlarm();

}  // namespace px::tweak
