// The time left where the tweak shows it (popup line, status-bar clock), and
// the charge alarm's once-per-connection rule.
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
  // The popup's message, as the Activator gesture shows it.
  std::string popup() {
    EXPECT_TRUE(platform::activator::LAActivator::sharedInstance()->sendEvent(shared::kListenerName));
    auto shown = platform::uikit::AlertPresenter::shared().visible();
    return shown.empty() ? std::string("(none)") : shown.back()->message();
  }
  std::vector<std::string> alert_messages() {
    std::vector<std::string> out;
    for (const auto& a : platform::uikit::AlertPresenter::shared().visible()) out.push_back(a->message());
    return out;
  }
  // Two minutes of discharge at 600 mA down to 1180 mAh: under two hours left.
  void discharge() {
    for (int k = 0; k < 5; ++k) {
      platform::foundation::Dictionary status = default_status();
      status["UpdateTime"] = Value(1'700'000'000LL + 30 * k);
      status["ExternalConnected"] = Value(false);
      status["IsCharging"] = Value(false);
      status["FullyCharged"] = Value(false);
      status["InstantAmperage"] = Value(-600LL);
      status["AppleRawCurrentCapacity"] = Value(1200LL - 5 * k);
      status["MaxCapacity"] = Value(1500LL);
      platform::sim::set_device_now(1'700'000'000.0 + 30 * k);
      broadcast("SBUIBatteryStatusChangedNotification", Value(status));
    }
  }
};

TEST_F(TimeLeftTest, PopupLineAndStatusBarOnlyWithTheirOptions) {
  // The popup's other lines off, so what it says is the time left or nothing.
  platform::foundation::Dictionary settings;
  for (const char* key : {"capacityPOP", "designCapacityPOP", "cyclePOP", "serialPOP", "wattsPOP", "amperagePOP"})
    settings[key] = Value(false);
  write_settings(settings);
  start();
  discharge();
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
  set_battery(0.85, Value(), 1);  // discharging past the level: nothing
  set_battery(0.79, Value(), 1);
  set_battery(0.79, Value(), 2);  // plugged in below it
  set_battery(0.80, Value(), 2);
  ASSERT_EQ(alert_messages(), std::vector<std::string>{"Battery charged to 80 %. Unplug now to spare the battery."});
  set_battery(0.81, Value(), 2);
  set_battery(0.79, Value(), 2);  // a dip on the same connection does not ring again
  set_battery(0.80, Value(), 2);
  EXPECT_EQ(alert_messages().size(), 1u);
  set_battery(0.82, Value(), 1);  // unplugged above it, plugged back above it: nothing to reach
  set_battery(0.82, Value(), 2);
  EXPECT_EQ(alert_messages().size(), 1u);
  set_battery(0.70, Value(), 1);  // a new connection from below rings again
  set_battery(0.70, Value(), 2);
  set_battery(0.83, Value(), 2);  // a level skipped over still counts as reached
  EXPECT_EQ(alert_messages().size(), 2u);
}

}  // namespace
}  // namespace px::tweak
