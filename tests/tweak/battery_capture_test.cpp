#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/user_defaults.h"
#include "shared/names.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;

class BatteryCaptureTest : public TweakTest {
 protected:
  Value defaults(const char* key) {
    return platform::foundation::NSUserDefaults("com.apple.springboard").objectForKey(key);
  }
  Value data_file() {
    return platform::foundation::dictionaryWithContentsOfFile(platform::sim::DevicePath(shared::kBatteryDataFile));
  }
};

TEST_F(BatteryCaptureTest, BroadcastIsMirroredIntoDefaultsAndTheDataFile) {
  start();
  Value status(default_status());
  broadcast(shared::kBatteryStatusChangedNotification, status);

  EXPECT_EQ(notify(), status);
  EXPECT_EQ(data_file(), status);
  EXPECT_EQ(defaults("Capacity"), Value(1500));
  EXPECT_EQ(defaults("DesignCapacity"), Value(1560));
  EXPECT_EQ(defaults("CycleCount"), Value(120));
  EXPECT_EQ(defaults("Serial"), Value("C0123456789ABCDEF"));
  EXPECT_EQ(defaults("Watts"), Value(5));
  EXPECT_EQ(defaults("Amperage"), Value(1000));
}

TEST_F(BatteryCaptureTest, ABroadcastAfterTheDomainIsResetWritesThroughTheLiveDefaults) {
  start();
  platform::foundation::NSUserDefaults::reset_standard_for_testing();
  auto& live = platform::foundation::NSUserDefaults::standardUserDefaults();
  live.setBool(true, "HasLaunchedOnce");
  ASSERT_TRUE(live.synchronize());
  broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  EXPECT_EQ(live.objectForKey("Capacity"), Value(1500));
  // What was written after the reset survives the observer's save.
  EXPECT_EQ(defaults("HasLaunchedOnce"), Value(true));
  EXPECT_EQ(defaults("Capacity"), Value(1500));
}

TEST_F(BatteryCaptureTest, EveryBroadcastLogsTheWholeStatusWhileDebugging) {
  start();
  new_log_lines();
  Value status(default_status());
  broadcast(shared::kBatteryStatusChangedNotification, status);
  // The description spans several lines, as NSLog writes a dictionary.
  std::string log = m_device.read_text("/var/log/syslog");
  EXPECT_NE(log.find("<Notice>: PylonexPro2 Stats: " + status.description() + "\n"), std::string::npos);
  EXPECT_EQ(log_lines_containing("PylonexPro2 Stats").size(), 1u);
}

TEST_F(BatteryCaptureTest, OtherNamesTouchNothingEvenWhileDebugging) {
  start();
  new_log_lines();
  broadcast(std::string(shared::kBatteryStatusChangedNotification) + "X", Value(default_status()));
  broadcast("UIDeviceBatteryLevelDidChangeNotification", Value(default_status()));
  EXPECT_TRUE(notify().is_nil());
  EXPECT_FALSE(m_device.exists(shared::kBatteryDataFile));
  EXPECT_TRUE(defaults("Capacity").is_nil());
  EXPECT_TRUE(new_log_lines().empty());
}

TEST_F(BatteryCaptureTest, TheSecondOfTwoBroadcastsReplacesTheFileWhole) {
  start();
  Dictionary first = default_status();
  first["OnlyInFirst"] = Value(7);
  broadcast(shared::kBatteryStatusChangedNotification, Value(first));
  Dictionary second = default_status();
  second["AppleRawCurrentCapacity"] = Value(1400);
  broadcast(shared::kBatteryStatusChangedNotification, Value(second));

  EXPECT_EQ(data_file(), Value(second));
  EXPECT_TRUE(data_file()["OnlyInFirst"].is_nil());
  EXPECT_EQ(defaults("Capacity"), Value(1400));
}

TEST_F(BatteryCaptureTest, MissingAdapterDetailsRemovesChargerMirrorsUntilTheyReturn) {
  start();
  broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  Dictionary unplugged = default_status();
  unplugged.erase("AdapterDetails");
  unplugged.erase("Serial");
  broadcast(shared::kBatteryStatusChangedNotification, Value(unplugged));
  EXPECT_TRUE(defaults("Watts").is_nil());
  EXPECT_TRUE(defaults("Amperage").is_nil());
  EXPECT_TRUE(defaults("Serial").is_nil());
  EXPECT_EQ(defaults("Capacity"), Value(1500));

  broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  EXPECT_EQ(defaults("Watts"), Value(5));
  EXPECT_EQ(defaults("Amperage"), Value(1000));
}

TEST_F(BatteryCaptureTest, ABroadcastWithoutStatusChangesNothing) {
  start();
  Value status(default_status());
  broadcast(shared::kBatteryStatusChangedNotification, status);
  new_log_lines();

  broadcast(shared::kBatteryStatusChangedNotification, Value());
  broadcast(shared::kBatteryStatusChangedNotification, Value("not a dictionary"));
  EXPECT_EQ(notify(), status);
  EXPECT_EQ(data_file(), status);
  for (const char* key : {"Capacity", "DesignCapacity", "CycleCount", "Serial", "Watts", "Amperage"})
    EXPECT_FALSE(defaults(key).is_nil()) << key;
  EXPECT_TRUE(log_lines_containing("PylonexPro2 Stats").empty());
}

TEST_F(BatteryCaptureTest, SpringBoardBatteryEntryReachesTheObserver) {
  start();
  set_battery(0.5, Value(default_status()));
  EXPECT_EQ(data_file(), Value(default_status()));
  set_battery(0.5);  // the supervisor's --no-status
  EXPECT_EQ(data_file(), Value(default_status()));
}

}  // namespace
}  // namespace px::tweak
