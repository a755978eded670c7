#include "tweak/time_remaining.h"

#include <cmath>

#include "history/remaining_text.h"
#include "history/sample.h"
#include "platform/foundation/format.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_device.h"
#include "shared/battery_level.h"

namespace px::tweak {

namespace {
history::RecentSamples& recent() {
  static history::RecentSamples samples;
  return samples;
}
}  // namespace

void rememberBatteryStatus(const platform::foundation::Value& status) {
  std::optional<std::int32_t> level = shared::level_percent(platform::uikit::UIDevice::currentDevice()->batteryLevel());
  recent().add(history::sample_from_status(status, level, platform::sim::device_now()));
}

history::RemainingEstimate timeRemaining() {
  return history::estimate_remaining(recent().samples(),
                                     static_cast<std::int64_t>(std::floor(platform::sim::device_now())));
}

std::string timeRemainingLine() {
  history::RemainingEstimate estimate = timeRemaining();
  switch (estimate.direction) {
    case history::RemainingDirection::to_empty:
      return platform::foundation::format("\nTime to Empty: %@\n",
                                          platform::foundation::Value(history::remaining_text(estimate)));
    case history::RemainingDirection::to_full:
      return platform::foundation::format("\nTime to Full: %@\n",
                                          platform::foundation::Value(history::remaining_text(estimate)));
    case history::RemainingDirection::none:
      break;
  }
  return "\nTime Left: \u2014\n";
}

void resetTimeRemaining() { recent().clear(); }

}  // namespace px::tweak
