#pragma once
// The battery level watcher, run inside SBUIController's updateBatteryState:
// before SpringBoard's own update: the full-charge alert once per run, and the
// power-saving trigger once per threshold.

#include <cstdint>
#include <optional>

#include "platform/objc/runtime.h"

namespace px::tweak {

// The level percent is shared::level_percent (shared/battery_level.h).

// The power-saving threshold of `percentagePSM`: truncated toward zero
// (saturating at the integer bounds, NaN giving 0), then made non-negative.
std::int32_t powerSavingThreshold(float percentagePSM);

// Runs both triggers for the device's current level; `controller` becomes the
// full-charge alert's delegate.
void runBatteryTriggers(const platform::objc::id& controller);

}  // namespace px::tweak
