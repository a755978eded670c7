#include "platform/sim/hardware/hardware_state.h"
#include "platform/substrate/substrate.h"
#include "platform/uikit/ui_alert_view.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Value;

class LevelWatcherTest : public TweakTest {
 protected:
  // Power-saving runs are counted by their vibration (every action is on by default).
  long long vibrations() { return platform::sim::hardware_value("vibrations").longLongValue(); }
  std::size_t alerts() { return platform::uikit::AlertPresenter::shared().visible().size(); }
  void start_with(platform::foundation::Dictionary settings) {
    write_settings(settings);
    start();
  }
};

TEST_F(LevelWatcherTest, EachUpdateLogsAndHandsOnToSpringBoard) {
  start();
  new_log_lines();
  set_battery(0.5);
  EXPECT_EQ(log_lines_containing("Battery Status Changed! ++++").size(), 1u);
  EXPECT_FLOAT_EQ(sb().last_battery_level, 0.5f);
}

TEST_F(LevelWatcherTest, PowerSavingFiresOnEqualityOnly) {
  start_with({{"percentagePSM", Value(20.0)}});
  set_battery(0.21);
  set_battery(0.19);
  EXPECT_EQ(vibrations(), 0);
  EXPECT_EQ(battCheck(), 0);
  set_battery(0.20);
  EXPECT_EQ(vibrations(), 1);
  EXPECT_EQ(battCheck(), 20);
  set_battery(0.20);  // one shot per threshold
  EXPECT_EQ(vibrations(), 1);
}

TEST_F(LevelWatcherTest, PowerSavingFiresWhileChargingToo) {
  start_with({{"percentagePSM", Value(30.0)}});
  set_battery(0.29);
  set_battery(0.30);
  EXPECT_EQ(vibrations(), 1);
}

TEST_F(LevelWatcherTest, ThresholdZeroNeverFiresWhileTheMemoryIsZero) {
  start_with({{"percentagePSM", Value(0.0)}});
  set_battery(0.0);
  set_battery(0.004);
  EXPECT_EQ(vibrations(), 0);
}

TEST_F(LevelWatcherTest, ThresholdIsTruncatedAndMadeNonNegative) {
  start_with({{"percentagePSM", Value(20.7)}});
  set_battery(0.21);
  EXPECT_EQ(vibrations(), 0);
  set_battery(0.20);
  EXPECT_EQ(vibrations(), 1);
}

TEST_F(LevelWatcherTest, NegativePercentageCountsAsItsMagnitude) {
  start_with({{"percentagePSM", Value(-20.0)}});
  set_battery(0.20);
  EXPECT_EQ(vibrations(), 1);
}

TEST_F(LevelWatcherTest, ChangedThresholdCanFireAgainAndBack) {
  start_with({{"percentagePSM", Value(20.0)}});
  set_battery(0.20);
  write_settings({{"percentagePSM", Value(10.0)}});
  reload_settings();
  set_battery(0.10);
  EXPECT_EQ(vibrations(), 2);
  write_settings({{"percentagePSM", Value(20.0)}});
  reload_settings();
  set_battery(0.20);
  EXPECT_EQ(vibrations(), 3);
}

TEST_F(LevelWatcherTest, UnknownLevelFiresNothingAndKeepsBothMemories) {
  start_with({{"percentagePSM", Value(100.0)}});
  int own_updates = sb().battery_updates;
  set_battery(-1.0);
  EXPECT_EQ(alerts(), 0u);
  EXPECT_EQ(vibrations(), 0);
  EXPECT_EQ(battFullCheck(), 0);
  EXPECT_EQ(battCheck(), 0);
  EXPECT_EQ(sb().battery_updates, own_updates + 1);

  // The real full charge later still gets its alert and its actions.
  set_battery(1.0);
  EXPECT_EQ(alerts(), 1u);
  EXPECT_EQ(vibrations(), 1);
}

TEST_F(LevelWatcherTest, FullChargeAlertOncePerRun) {
  start();
  set_battery(1.0);
  ASSERT_EQ(alerts(), 1u);
  auto alert = platform::uikit::AlertPresenter::shared().visible()[0];
  EXPECT_EQ(alert->title(), "PylonexPro2");
  EXPECT_EQ(alert->message(), "Your Battery is now Fully Charged!");
  EXPECT_EQ(alert->buttons(), std::vector<std::string>{"OK"});
  EXPECT_EQ(alert->firstOtherButtonIndex(), -1);
  EXPECT_EQ(alert->delegate(), host::springboard::shared_instance("SBUIController"));
  EXPECT_EQ(battFullCheck(), 100);

  platform::uikit::AlertPresenter::shared().press(-1, 0);
  set_battery(0.5);
  set_battery(1.0);
  EXPECT_EQ(alerts(), 0u);

  restart();
  set_battery(1.0);
  EXPECT_EQ(alerts(), 1u);
}

TEST_F(LevelWatcherTest, WarningOffAtTheFirstFullUpdateSpendsTheShot) {
  start_with({{"fullChargeWarning", Value(0)}});
  set_battery(1.0);
  EXPECT_EQ(alerts(), 0u);
  EXPECT_EQ(battFullCheck(), 100);
  write_settings({{"fullChargeWarning", Value(1)}});
  reload_settings();
  set_battery(1.0);
  EXPECT_EQ(alerts(), 0u);
}

TEST_F(LevelWatcherTest, DisabledPowerSavingStillTakesTheLevel) {
  start_with({{"percentagePSM", Value(20.0)}, {"enablePSM", Value(false)}});
  set_battery(0.20);
  EXPECT_EQ(vibrations(), 0);
  EXPECT_EQ(battCheck(), 20);
  write_settings({{"percentagePSM", Value(20.0)}});
  reload_settings();
  set_battery(0.20);
  EXPECT_EQ(vibrations(), 0);
}

TEST_F(LevelWatcherTest, ThresholdHundredShowsTheAlertThenRunsTheActionsBeforeSpringBoard) {
  write_settings({{"percentagePSM", Value(100.0)}});
  // What SpringBoard's own update finds when the tweak hands on to it: seen
  // through a hook placed before the tweak's, so it runs as SpringBoard's.
  std::size_t alerts_seen = 0;
  long long vibrations_seen = 0;
  platform::objc::Imp<void, platform::objc::id> springboard_update;
  start(true, [&] {
    ASSERT_TRUE(MSHookMessageEx(
        platform::objc::objc_getClass("SBUIController"), platform::objc::sel("updateBatteryState:"),
        [&](platform::objc::id self, platform::objc::SEL cmd, platform::objc::id argument) {
          alerts_seen = alerts();
          vibrations_seen = vibrations();
          springboard_update(self, cmd, argument);
        },
        &springboard_update));
  });
  set_battery(1.0);
  EXPECT_EQ(alerts(), 1u);
  EXPECT_EQ(vibrations(), 1);
  EXPECT_EQ(alerts_seen, 1u);
  EXPECT_EQ(vibrations_seen, 1);
}

}  // namespace
}  // namespace px::tweak
