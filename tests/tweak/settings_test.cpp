#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/run_loop.h"
#include "shared/names.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Value;

const char* kDefaultsLine =
    "PylonexPro2 Settings : enablePSM = 1 , vibratePSM = 1, notificationPSM = 1, airplanePSM = 1, bluetoothPSM = 1, "
    "locationPSM = 1, wifiPSM = 1, dimPSM = 1, dimLevelPSM = 1.000000, percentagePSM = 1.000000, capacityPOP = 1, "
    "debugMode = 1, StatusBarMah = 1, timeMode = 1, fullChargeWarning = 1";

class SettingsSnapshotTest : public TweakTest {};

TEST_F(SettingsSnapshotTest, NoSettingsFileGivesEveryDefaultAndLogsTheSnapshot) {
  start(false);
  const auto& s = settings();
  for (bool flag : {s.debugMode, s.wifiPSM, s.locationPSM, s.airplanePSM, s.bluetoothPSM, s.dimPSM, s.vibratePSM,
                    s.notificationPSM, s.capacityPOP, s.designCapacityPOP, s.cyclePOP, s.serialPOP, s.wattsPOP,
                    s.amperagePOP, s.fullChargeWarning, s.enablePSM, s.statusbarMah})
    EXPECT_TRUE(flag);
  EXPECT_EQ(s.dimLevelPSM, 1.0f);
  EXPECT_EQ(s.percentagePSM, 1.0f);
  EXPECT_EQ(s.timemode, 1);
  EXPECT_EQ(log_lines_containing("PylonexPro2 Settings"), std::vector<std::string>{kDefaultsLine});
}

TEST_F(SettingsSnapshotTest, CorruptFileCountsAsAbsent) {
  m_device.write_text(shared::kSettingsFile, "<?xml version=\"1.0\"?><plist><dict><key>debugMode</key>");
  start(false);
  EXPECT_TRUE(settings().debugMode);
  EXPECT_TRUE(settings().enablePSM);
  EXPECT_EQ(settings().timemode, 1);
}

TEST_F(SettingsSnapshotTest, DebugModeOffSilencesTheVeryLoadThatReadsIt) {
  write_settings({{"debugMode", Value(false)}});
  start(false);
  EXPECT_FALSE(settings().debugMode);
  EXPECT_TRUE(log_lines_containing("PylonexPro2 Settings").empty());
}

TEST_F(SettingsSnapshotTest, StoredValuesAreConvertedAsThePlatformDoes) {
  write_settings({{"fullChargeWarning", Value(2)},
                  {"percentagePSM", Value(20.7)},
                  {"dimLevelPSM", Value(0.25)},
                  {"timemode", Value(2.9)},
                  {"wifiPSM", Value(0)}});
  start(false);
  EXPECT_TRUE(settings().fullChargeWarning);
  EXPECT_FLOAT_EQ(settings().percentagePSM, 20.7f);
  EXPECT_FLOAT_EQ(settings().dimLevelPSM, 0.25f);
  EXPECT_EQ(settings().timemode, 2);
  EXPECT_FALSE(settings().wifiPSM);
}

TEST_F(SettingsSnapshotTest, FullChargeWarningZeroIsOff) {
  write_settings({{"fullChargeWarning", Value(0)}});
  start(false);
  EXPECT_FALSE(settings().fullChargeWarning);
}

TEST_F(SettingsSnapshotTest, ASingleKeyLeavesEveryOtherFieldAtItsDefault) {
  write_settings({{"enablePSM", Value(false)}});
  start(false);
  EXPECT_FALSE(settings().enablePSM);
  EXPECT_TRUE(settings().debugMode);
  EXPECT_TRUE(settings().vibratePSM);
  EXPECT_EQ(settings().percentagePSM, 1.0f);
}

TEST_F(SettingsSnapshotTest, ReloadNotificationRereadsTheWholeFile) {
  write_settings({{"percentagePSM", Value(42.0)}, {"wifiPSM", Value(false)}});
  start();
  EXPECT_FLOAT_EQ(settings().percentagePSM, 42.0f);
  new_log_lines();

  // A removed key takes its default again: nothing of the old snapshot stays.
  write_settings({{"percentagePSM", Value(15.0)}, {"timemode", Value(0)}});
  platform::foundation::darwin::post(shared::kSettingsChangedNotification);
  platform::foundation::RunLoop::main().run_until_idle();

  EXPECT_FLOAT_EQ(settings().percentagePSM, 15.0f);
  EXPECT_TRUE(settings().wifiPSM);
  EXPECT_EQ(settings().timemode, 0);
  auto lines = log_lines_containing("PylonexPro2 Settings");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("percentagePSM = 15.000000"), std::string::npos);
  EXPECT_NE(lines[0].find("timeMode = 0,"), std::string::npos);
}

TEST_F(SettingsSnapshotTest, OtherDarwinNamesDoNotReload) {
  start();
  new_log_lines();
  write_settings({{"percentagePSM", Value(33.0)}});
  platform::foundation::darwin::post("com.zelmoraq.PylonexPro2Prefs/other");
  platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_EQ(settings().percentagePSM, 1.0f);
}

}  // namespace
}  // namespace px::tweak
