// The time left where the tweak shows it (popup line, status-bar clock), and
// the charge alarm's once-per-connection rule.
#include <tuple>

#include "platform/activator/la_activator.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_alert_view.h"
#include "shared/names.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Value;

class TimeLeftTest : public TweakTest {
 protected:
  std::vector<std::string> alert_messages() {
    std::vector<std::string> out;
    for (const auto& a : platform::uikit::AlertPresenter::shared().visible()) out.push_back(a->message());
    return out;
  }
  // The popup's message, as the Activator gesture shows it.
  std::string popup() {
    EXPECT_TRUE(platform::activator::LAActivator::sharedInstance()->sendEvent(shared::kListenerName));
    return alert_messages().empty() ? std::string("(none)") : alert_messages().back();
  }
};

TEST_F(TimeLeftTest, PopupLineAndStatusBarOnlyWithTheirOptions) {
  // The popup's other lines off, so what it says is the time left or nothing.
  platform::foundation::Dictionary settings;
  for (const char* key : {"capacityPOP", "designCapacityPOP", "cyclePOP", "serialPOP", "wattsPOP", "amperagePOP"})
    settings[key] = Value(false);
  write_settings(settings);
  start();
  for (int k = 0; k < 5; ++k) {  // two minutes at 600 mA down to 1180 mAh: under two hours left
    platform::foundation::Dictionary status = default_status();
    for (const char* key : {"ExternalConnected", "IsCharging", "FullyCharged"}) status[key] = Value(false);
    status["UpdateTime"] = Value(1'700'000'000LL + 30 * k);
    status["InstantAmperage"] = Value(-600LL);
    status["AppleRawCurrentCapacity"] = Value(1200LL - 5 * k);
    status["MaxCapacity"] = Value(1500LL);
    platform::sim::set_device_now(1'700'000'000.0 + 30 * k);
    broadcast("SBUIBatteryStatusChangedNotification", Value(status));
  }
  EXPECT_EQ(popup(), "");  // off by default: the popup as it was
  host().tick(1, false);
  EXPECT_EQ(statusMah(), Value("1180 mAh"));

  settings["timePOP"] = Value(true);
  settings["statusbarTime"] = Value(true);
  write_settings(settings);
  reload_settings();
  std::string message = popup();
  EXPECT_TRUE(message.starts_with("\nBattery Data: \n\nTime to Empty: 1 h ")) << message;
  host().tick(1, false);
  EXPECT_TRUE(statusMah().string()->starts_with("1180 mAh - 1:")) << statusMah().description();
}

TEST_F(TimeLeftTest, ChargeAlarmOncePerConnectionAndOnlyWhenReachedWhileCharging) {
  write_settings({{"chargeAlarm", Value(true)}, {"chargeAlarmLevel", Value(80.0)}, {"fullChargeWarning", Value(0)}});
  start();
  // Level, state (1 unplugged, 2 charging), and the alarms shown by then.
  const std::tuple<double, int, std::size_t> steps[] = {
      {0.85, 1, 0}, {0.79, 1, 0},                // discharging past the level
      {0.79, 2, 0}, {0.80, 2, 1},                // plugged in below it, then reached
      {0.81, 2, 1}, {0.79, 2, 1}, {0.80, 2, 1},  // a dip on the same connection does not ring again
      {0.82, 1, 1}, {0.82, 2, 1},                // unplugged and back above it: nothing to reach
      {0.70, 1, 1}, {0.70, 2, 1}, {0.83, 2, 2},  // a new connection from below; a level skipped over counts
  };
  for (const auto& [level, state, alarms] : steps) {
    set_battery(level, Value(), state);
    ASSERT_EQ(alert_messages().size(), alarms) << level << " state " << state;
  }
  EXPECT_EQ(alert_messages()[0], "Battery charged to 80 %. Unplug now to spare the battery.");
}

}  // namespace
}  // namespace px::tweak
