#include "platform/activator/la_activator.h"
#include "platform/foundation/user_defaults.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_alert_view.h"
#include "shared/names.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;

const char* kPopupKeys[] = {"capacityPOP", "designCapacityPOP", "cyclePOP", "serialPOP", "wattsPOP", "amperagePOP"};

class InfoPopupTest : public TweakTest {
 protected:
  void start_with_popup(std::initializer_list<const char*> on) {
    Dictionary d;
    for (const char* k : kPopupKeys) d[k] = Value(false);
    for (const char* k : on) d[k] = Value(true);
    write_settings(d);
    start();
    broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  }
  std::shared_ptr<platform::uikit::UIAlertView> fire() {
    EXPECT_TRUE(platform::activator::LAActivator::sharedInstance()->sendEvent(shared::kListenerName));
    auto& visible = platform::uikit::AlertPresenter::shared().visible();
    return visible.empty() ? nullptr : visible.back();
  }
};

TEST_F(InfoPopupTest, AllFlagsOffGivesAnEmptyMessageAndBothButtons) {
  start_with_popup({});
  new_log_lines();
  auto alert = fire();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->title(), "PylonexPro2");
  EXPECT_EQ(alert->message(), "");
  EXPECT_EQ(alert->buttons(), (std::vector<std::string>{"Close", "Enable PowerSavingMode"}));
  EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
  EXPECT_EQ(new_log_lines(), std::vector<std::string>{"Method executed!"});
}

TEST_F(InfoPopupTest, OnlyWattsHasTheCableHeaderAlone) {
  start_with_popup({"wattsPOP"});
  EXPECT_EQ(fire()->message(), "\nCable Info: \n\nWatts: 5\n");
}

TEST_F(InfoPopupTest, OnlyCapacityHasTheBatteryHeaderAlone) {
  start_with_popup({"capacityPOP"});
  EXPECT_EQ(fire()->message(), "\nBattery Data: \n\nCurrent Capacity: 1500 mAh\n");
}

TEST_F(InfoPopupTest, AllFlagsOnListEveryLineInOrder) {
  start();
  broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  EXPECT_EQ(fire()->message(),
            "\nBattery Data: \n"
            "\nCurrent Capacity: 1500 mAh\n"
            "\nDevice Capacity: 1560 mAh\n"
            "\nCycles: 120\n"
            "\nSerial: C0123456789ABCDEF\n"
            "\nCable Info: \n"
            "\nWatts: 5\n"
            "\nAmperage: 1000 mAh\n");
}

TEST_F(InfoPopupTest, AKeyNeverWrittenShowsThePlaceholder) {
  write_settings({{"designCapacityPOP", Value(false)},
                  {"cyclePOP", Value(false)},
                  {"serialPOP", Value(false)},
                  {"wattsPOP", Value(false)},
                  {"amperagePOP", Value(false)}});
  start();
  EXPECT_EQ(fire()->message(), "\nBattery Data: \n\nCurrent Capacity: (null) mAh\n");
}

TEST_F(InfoPopupTest, MethodExecutedIsLoggedEvenWithoutDebugging) {
  write_settings({{"debugMode", Value(false)}});
  start();
  new_log_lines();
  fire();
  EXPECT_EQ(new_log_lines(), std::vector<std::string>{"Method executed!"});
}

TEST_F(InfoPopupTest, CloseRunsNothingAndTheOtherButtonRunsTheActionsDespiteEnablePSM) {
  write_settings({{"enablePSM", Value(false)}, {"capacityPOP", Value(false)}});
  start();
  fire();
  ASSERT_TRUE(platform::uikit::AlertPresenter::shared().press(-1, 0));
  EXPECT_TRUE(platform::sim::hardware_value("vibrations").is_nil());
  fire();
  ASSERT_TRUE(platform::uikit::AlertPresenter::shared().press(-1, 1));
  EXPECT_EQ(platform::sim::hardware_value("vibrations"), Value(1));
}

TEST_F(InfoPopupTest, TheListenerIsRegisteredWithEveryFlagOff) {
  Dictionary off;
  for (const char* k : {"debugMode", "enablePSM", "vibratePSM", "notificationPSM", "airplanePSM", "bluetoothPSM",
                        "locationPSM", "wifiPSM", "dimPSM", "capacityPOP", "designCapacityPOP", "cyclePOP", "serialPOP",
                        "wattsPOP", "amperagePOP", "statusbarMah", "fullChargeWarning"})
    off[k] = Value(false);
  write_settings(off);
  start();
  EXPECT_NE(platform::activator::LAActivator::sharedInstance()->listenerForName(shared::kListenerName), nullptr);
}

TEST_F(InfoPopupTest, EachEventShowsAnotherPopupWithTheSameDelegate) {
  start();
  auto first = fire();
  auto second = fire();
  ASSERT_EQ(platform::uikit::AlertPresenter::shared().visible().size(), 2u);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->delegate(), second->delegate());
}

TEST_F(InfoPopupTest, ThePopupShowsTheValuesOfThePreviousRunUntilTheFirstBroadcast) {
  start();
  broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  restart();
  write_settings({{"designCapacityPOP", Value(false)},
                  {"cyclePOP", Value(false)},
                  {"serialPOP", Value(false)},
                  {"wattsPOP", Value(false)},
                  {"amperagePOP", Value(false)}});
  reload_settings();
  EXPECT_EQ(fire()->message(), "\nBattery Data: \n\nCurrent Capacity: 1500 mAh\n");
}

}  // namespace
}  // namespace px::tweak
