#include "tweak/charge_alarm.h"

#include <algorithm>

#include <string>

#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_device.h"
#include "shared/battery_level.h"
#include "shared/settings_schema.h"
#include "tweak/tweak_settings.h"

namespace px::tweak {

namespace {
// Within the present connection of the charger: the level was seen below the
// threshold (armed), and the alert was shown.
bool armed = false;
bool fired = false;
}  // namespace

std::int32_t chargeAlarmThreshold(float chargeAlarmLevel) {
  const auto& s = shared::settings::chargeAlarmLevel;
  return std::clamp(shared::truncate_to_int32(chargeAlarmLevel), static_cast<std::int32_t>(s.min),
                    static_cast<std::int32_t>(s.max));
}

void runChargeAlarm(const platform::objc::id& controller, std::int32_t level, int batteryState) {
  bool connected = batteryState == platform::uikit::UIDeviceBatteryStateCharging ||
                   batteryState == platform::uikit::UIDeviceBatteryStateFull;
  if (!connected) {
    // Unplugged (or unknown): the next connection starts afresh.
    armed = fired = false;
    return;
  }
  std::int32_t threshold = chargeAlarmThreshold(TweakSettings.chargeAlarmLevel);
  if (level < threshold) {
    armed = true;
    return;
  }
  if (!armed || fired) return;
  fired = true;
  if (!TweakSettings.chargeAlarm) return;
  auto alert = platform::uikit::UIAlertView::make(
      "PylonexPro2", "Battery charged to " + std::to_string(level) + " %. Unplug now to spare the battery.", controller,
      "OK", {});
  alert->show();
}

void resetChargeAlarm() { armed = fired = false; }

}  // namespace px::tweak
