#include "tweak/level_watcher.h"

#include <cmath>
#include <limits>

#include "platform/foundation/log.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_device.h"
#include "tweak/hook_table.h"
#include "tweak/power_saving_actions.h"
#include "tweak/tweak_settings.h"
#include "tweak/tweak_state.h"

namespace {

std::int32_t truncateToInt32(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0f) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::int32_t> levelPercent(float batteryLevel) {
  // An unknown level used to read as 100 and spent the full-charge alert's
  // only shot on a battery nobody had measured.
  if (std::isnan(batteryLevel) || batteryLevel < 0.0f) return std::nullopt;
  float percent = batteryLevel * 100.0f;
  return truncateToInt32(percent);
}

std::int32_t powerSavingThreshold(float percentagePSM) {
  std::int32_t t = truncateToInt32(percentagePSM);
  if (t == std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::max();
  return t < 0 ? -t : t;
}

void runBatteryTriggers(const objc::id& controller) {
  std::optional<std::int32_t> level = levelPercent(uikit::UIDevice::currentDevice()->batteryLevel());
  if (!level) return;

  if (*level == 100 && battFullCheck != 100) {
    if (TweakSettings.fullChargeWarning) {
      auto alert = uikit::UIAlertView::make("PylonexPro2", "Your Battery is now Fully Charged!", controller, "OK", {});
      alert->show();
    }
    battFullCheck = 100;
  }

  if (*level == powerSavingThreshold(TweakSettings.percentagePSM) && battCheck != *level) {
    if (TweakSettings.enablePSM) powerSavingActions();
    battCheck = *level;
  }
}

void uiController_updateBatteryState(objc::id self, objc::SEL cmd, objc::id argument) {
  if (TweakSettings.debugMode) NSLog("Battery Status Changed! ++++");
  runBatteryTriggers(self);
  if (orig_updateBatteryState) (*orig_updateBatteryState)(self, cmd, argument);
}
