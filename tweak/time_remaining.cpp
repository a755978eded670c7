#include "tweak/time_remaining.h"

#include <cmath>

#include "history/remaining_text.h"
#include "history/sample.h"
#include "platform/foundation/format.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_device.h"
#include "shared/battery_level.h"

namespace pylonexpro2 {

namespace {
history::RecentSamples& recent() {
  static history::RecentSamples samples;
  return samples;
}
}  // namespace

void rememberBatteryStatus(const foundation::Value& status) {
  std::optional<std::int32_t> level = px::level_percent(uikit::UIDevice::currentDevice()->batteryLevel());
  recent().add(history::sample_from_status(status, level, sim::device_now()));
}

history::RemainingEstimate timeRemaining() {
  return history::estimate_remaining(recent().samples(), static_cast<std::int64_t>(std::floor(sim::device_now())));
}

std::string timeRemainingLine() {
  history::RemainingEstimate estimate = timeRemaining();
  switch (estimate.direction) {
    case history::RemainingDirection::to_empty:
      return foundation::format("\nTime to Empty: %@\n", foundation::Value(history::remaining_text(estimate)));
    case history::RemainingDirection::to_full:
      return foundation::format("\nTime to Full: %@\n", foundation::Value(history::remaining_text(estimate)));
    case history::RemainingDirection::none:
      break;
  }
  return "\nTime Left: \u2014\n";
}

void resetTimeRemaining() { recent().clear(); }

}  // namespace pylonexpro2
