#include <cmath>

#include "platform/activator/la_activator.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_alert_view.h"
#include "shared/names.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;

const char* kActionKeys[] = {"wifiPSM", "locationPSM", "airplanePSM",    "bluetoothPSM",
                             "dimPSM",  "vibratePSM",  "notificationPSM"};

// The popup's "Enable PowerSavingMode" button is the entry that runs the
// actions regardless of the battery.
class PowerSavingTest : public TweakTest {
 protected:
  void run_actions() {
    ASSERT_TRUE(platform::activator::LAActivator::sharedInstance()->sendEvent(shared::kListenerName));
    new_log_lines();  // the popup's own line
    ASSERT_TRUE(platform::uikit::AlertPresenter::shared().press(-1, 1));
  }
  static Dictionary only(std::initializer_list<const char*> on, bool debug) {
    Dictionary d{{"debugMode", Value(debug)}};
    for (const char* k : kActionKeys) d[k] = Value(false);
    for (const char* k : on) d[k] = Value(true);
    return d;
  }
};

TEST_F(PowerSavingTest, EveryFlagOffChangesNothingAndLogsOnlyTheHeader) {
  write_settings(only({}, true));
  start();
  run_actions();
  EXPECT_EQ(new_log_lines(), std::vector<std::string>{"Executing PSM ACTIONS!"});
  EXPECT_TRUE(platform::sim::hardware_value("wifi").is_nil());
  EXPECT_TRUE(platform::sim::hardware_value("vibrations").is_nil());
  EXPECT_TRUE(sb().banners_shown.empty());
}

TEST_F(PowerSavingTest, EveryFlagOffWithoutDebuggingWritesNothing) {
  write_settings(only({}, false));
  start();
  run_actions();
  EXPECT_TRUE(new_log_lines().empty());
}

TEST_F(PowerSavingTest, OnlyTheBannerPostsOneBannerAndTwoLines) {
  write_settings(only({"notificationPSM"}, true));
  start();
  run_actions();
  EXPECT_EQ(new_log_lines(),
            (std::vector<std::string>{"Executing PSM ACTIONS!", "PylonexPro2 : Notification executed!"}));
  ASSERT_EQ(sb().banners_shown.size(), 1u);
  EXPECT_EQ(sb().banners_shown[0],
            (host::springboard::Banner{"PylonexPro2", "PowerSavingMode Activated!", "com.apple.Preferences"}));
  EXPECT_EQ(sb().banner_on_screen, sb().banners_shown[0]);
}

TEST_F(PowerSavingTest, EveryActionInOrderWithItsLine) {
  write_settings({{"enablePSM", Value(false)}, {"dimLevelPSM", Value(0.123)}});
  start();
  run_actions();
  EXPECT_EQ(new_log_lines(), (std::vector<std::string>{
                                 "Executing PSM ACTIONS!",
                                 "PylonexPro2 : Turn OFF WiFI executed!",
                                 "PylonexPro2 : Turn OFF Location executed!",
                                 "PylonexPro2 : Turn ON Airplane Mode executed!",
                                 "PylonexPro2 : Turn OFF Bluetooth executed!",
                                 "PylonexPro2 : Brightness dimming executed!",
                                 "PylonexPro2 : Vibration executed!",
                                 "PylonexPro2 : Notification executed!",
                             }));
  EXPECT_EQ(platform::sim::hardware_value("wifi"), Value(false));
  EXPECT_EQ(platform::sim::hardware_value("location"), Value(false));
  EXPECT_EQ(platform::sim::hardware_value("airplane"), Value(true));
  EXPECT_EQ(platform::sim::hardware_value("bluetooth"), Value(false));
  EXPECT_EQ(platform::sim::hardware_value("brightness").doubleValue(), static_cast<double>(0.123f));
  EXPECT_EQ(platform::sim::hardware_value("vibrations"), Value(1));
  EXPECT_EQ(sb().banners_shown.size(), 1u);
}

TEST_F(PowerSavingTest, BrightnessIsHandedOnAndTheScreenKeepsItsScale) {
  write_settings({{"dimLevelPSM", Value(1.75)}});
  start();
  run_actions();
  EXPECT_EQ(platform::sim::hardware_value("brightness").doubleValue(), 1.0);
}

TEST_F(PowerSavingTest, ANonNumberBrightnessLeavesTheScreenAsItWas) {
  platform::sim::set_hardware_value("brightness", Value(0.5));
  write_settings({{"dimLevelPSM", Value(std::nan(""))}});
  start();
  run_actions();
  EXPECT_EQ(platform::sim::hardware_value("brightness"), Value(0.5));
}

TEST_F(PowerSavingTest, TwoRunsActTwiceAndTheNewBannerReplacesTheOneOnScreen) {
  start();
  run_actions();
  run_actions();
  EXPECT_EQ(platform::sim::hardware_value("vibrations"), Value(2));
  EXPECT_EQ(sb().banners_shown.size(), 2u);
  EXPECT_TRUE(sb().banners_waiting.empty());
}

}  // namespace
}  // namespace px::tweak
