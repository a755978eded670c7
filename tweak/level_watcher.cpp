#include "tweak/level_watcher.h"

#include <limits>

#include "platform/foundation/log.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_device.h"
#include "shared/battery_level.h"
#include "tweak/charge_alarm.h"
#include "tweak/hook_table.h"
#include "tweak/power_saving_actions.h"
#include "tweak/tweak_settings.h"
#include "tweak/tweak_state.h"

namespace px::tweak {

std::int32_t powerSavingThreshold(float percentagePSM) {
  std::int32_t t = shared::truncate_to_int32(percentagePSM);
  if (t == std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::max();
  return t < 0 ? -t : t;
}

void runBatteryTriggers(const platform::objc::id& controller) {
  auto device = platform::uikit::UIDevice::currentDevice();
  std::optional<std::int32_t> level = shared::level_percent(device->batteryLevel());
  if (!level) return;
  runChargeAlarm(controller, *level, device->batteryState());

  if (*level == 100 && battFullCheck != 100) {
    if (TweakSettings.fullChargeWarning) {
      auto alert =
          platform::uikit::UIAlertView::make("PylonexPro2", "Your Battery is now Fully Charged!", controller, "OK", {});
      alert->show();
    }
    battFullCheck = 100;
  }

  if (*level == powerSavingThreshold(TweakSettings.percentagePSM) && battCheck != *level) {
    if (TweakSettings.enablePSM) powerSavingActions();
    battCheck = *level;
  }
}

void uiController_updateBatteryState(platform::objc::id self, platform::objc::SEL cmd, platform::objc::id argument) {
  if (TweakSettings.debugMode) NSLog("Battery Status Changed! ++++");
  runBatteryTriggers(self);
  if (orig_updateBatteryState) (*orig_updateBatteryState)(self, cmd, argument);
}

}  // namespace px::tweak
