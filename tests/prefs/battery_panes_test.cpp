// Battery Data and Cable Info: every figure read afresh with its unit, the
// temperature text, ActualMax only growing, unknown levels, the live link.

#include "history/store.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_device.h"
#include "prefs/battery_figures.h"
#include "tests/prefs/prefs_fixture.h"

namespace px::prefs {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;

Value sample_status() {
  return Value(Dictionary{
      {"AppleRawCurrentCapacity", 1520},
      {"DesignCapacity", 1810},
      {"CycleCount", 312},
      {"Temperature", 3050},
      {"BootVoltage", 3870},
      {"Serial", "C0H1234"},
      {"Model", "0003-A"},
      {"BatteryData", Value(Dictionary{{"ChemID", 1234}, {"Flags", 640}, {"QmaxCell0", 1650}})},
      {"AdapterDetails",
       Value(Dictionary{{"Amperage", 1000}, {"Description", "usb host"}, {"FamilyCode", -536854528}, {"Watts", 5}})}});
}

class BatteryDataPane : public PrefsTest {};

TEST_F(BatteryDataPane, PlainFiguresCarryTheirUnitsAndRereadTheFile) {
  auto p = pane("BatteryData");
  write_battery_data(sample_status());
  EXPECT_EQ(get(p, "RawCapacity:"), "1520 mAh");
  EXPECT_EQ(get(p, "DesignCapacity:"), "1810 mAh");
  EXPECT_EQ(get(p, "CycleCount:"), "312");
  EXPECT_EQ(get(p, "CHM:"), "1234 mV");
  EXPECT_EQ(get(p, "QCell:"), "1650");
  EXPECT_EQ(get(p, "BootVoltage:"), "3870 mV");
  Value changed = sample_status();
  changed.mutable_dictionary()["CycleCount"] = 313;
  write_battery_data(changed);
  EXPECT_EQ(get(p, "CycleCount:"), "313");
}

TEST_F(BatteryDataPane, TimeLeftRowsFollowTheHistoryOfTheLastHalfHour) {
  auto p = pane("BatteryData");
  EXPECT_EQ(get(p, "TimeToEmpty:"), "\u2014");  // nothing recorded: nothing applies
  history::HistoryWriter writer;
  constexpr std::int64_t kStart = 1'700'000'000;
  for (int k = 0; k < 6; ++k) {
    history::Sample s;
    s.time = kStart + 60 * k;
    s.external = s.charging = true;
    s.full = false;
    s.raw_capacity = 300 + 10 * k;
    s.max_capacity = 1500;
    s.amperage = 600;
    ASSERT_EQ(writer.record(s, s.time).outcome, history::RecordOutcome::stored);
  }
  platform::sim::set_device_now(kStart + 300);
  EXPECT_EQ(get(p, "TimeToEmpty:"), "\u2014");
  std::string full = get(p, "TimeToFull:");
  EXPECT_TRUE(full.starts_with("2 h ") && full.find(" \u2013 ") != std::string::npos) << full;
}

TEST_F(BatteryDataPane, AbsentFileShowsPlaceholderBeforeTheUnit) {
  auto p = pane("BatteryData");
  EXPECT_EQ(get(p, "CycleCount:"), "(null)");
  EXPECT_EQ(get(p, "RawCapacity:"), "(null) mAh");
  EXPECT_EQ(get(p, "BootVoltage:"), "(null) mV");
  EXPECT_EQ(get(p, "Temperature:"), "(null) °C");
  EXPECT_EQ(get(p, "LostCapacity:"), "0 mAh");
}

TEST(TemperatureText, HundredthsWithTwoDecimalsForEveryLength) {
  EXPECT_EQ(*prefs::temperature_text(Value(3050)), "30.50");
  EXPECT_EQ(*prefs::temperature_text(Value(950)), "9.50");
  EXPECT_EQ(*prefs::temperature_text(Value(-250)), "-2.50");
  EXPECT_EQ(*prefs::temperature_text(Value(-2500)), "-25.00");
  EXPECT_EQ(*prefs::temperature_text(Value(5)), "0.05");
  EXPECT_EQ(*prefs::temperature_text(Value(-5)), "-0.05");
  EXPECT_FALSE(prefs::temperature_text(Value("warm")));
  EXPECT_FALSE(prefs::temperature_text(Value()));
}

TEST_F(BatteryDataPane, TemperatureInCelsiusUnlessFahrenheitIsOn) {
  auto p = pane("BatteryData");
  struct Case {
    int stored;
    const char* celsius;
    const char* fahrenheit;
  };
  const Case cases[] = {{3050, "30.50 °C", "86.90 °F"},
                        {2987, "29.87 °C", "85.76 °F"},
                        {4512, "45.12 °C", "113.2 °F"},
                        {-250, "-2.50 °C", "27.50 °F"},
                        {950, "9.50 °C", "49.09 °F"}};
  for (auto& c : cases) {
    Value status = sample_status();
    status.mutable_dictionary()["Temperature"] = c.stored;
    write_battery_data(status);
    write_settings(Value(Dictionary{}));
    EXPECT_EQ(get(p, "Temperature:"), c.celsius) << c.stored;
    write_settings(Value(Dictionary{{"Fahrenheit", true}}));
    EXPECT_EQ(get(p, "Temperature:"), c.fahrenheit) << c.stored;
  }
  Value status = sample_status();
  status.mutable_dictionary()["Temperature"] = "hot";
  write_battery_data(status);
  EXPECT_EQ(get(p, "Temperature:"), "(null) °F");
}

TEST_F(BatteryDataPane, ActualMaxOnlyGrowsAndOnlyAtAKnownFullLevel) {
  auto p = pane("BatteryData");
  auto& defaults = platform::foundation::NSUserDefaults::standardUserDefaults();
  write_battery_data(sample_status());  // raw 1520
  // Monitoring off: the level is unknown, which records nothing.
  EXPECT_EQ(get(p, "ActualMaxCapacity:"), "Not yet available");
  EXPECT_EQ(get(p, "LostCapacity:"), "1810 mAh");
  platform::uikit::UIDevice::currentDevice()->setBatteryMonitoringEnabled(true);
  set_battery(0.995, 2);
  EXPECT_EQ(get(p, "fullyCharged:"), "No");
  EXPECT_EQ(get(p, "ActualMaxCapacity:"), "Not yet available");
  set_battery(1.0, 3);
  EXPECT_EQ(get(p, "fullyCharged:"), "Yes");
  defaults.setObject(Value("1500 mAh"), "ActualMax");
  EXPECT_EQ(get(p, "ActualMaxCapacity:"), "1520 mAh");
  Value lower = sample_status();
  lower.mutable_dictionary()["AppleRawCurrentCapacity"] = 1490;
  write_battery_data(lower);
  EXPECT_EQ(get(p, "ActualMaxCapacity:"), "1520 mAh");
  defaults.setObject(Value("1822 mAh"), "ActualMax");
  EXPECT_EQ(get(p, "LostCapacity:"), "-12 mAh");
  // Kept across processes: the defaults were written at once.
  platform::foundation::NSUserDefaults::reset_standard_for_testing();  // `defaults` is gone with it
  platform::foundation::NSUserDefaults::standardUserDefaults().setObject(Value("1500 mAh"), "ActualMax");
  write_battery_data(sample_status());
  get(p, "ActualMaxCapacity:");
  platform::foundation::NSUserDefaults::reset_standard_for_testing();
  EXPECT_EQ(platform::foundation::NSUserDefaults::standardUserDefaults().stringForKey("ActualMax"), Value("1520 mAh"));
}

TEST_F(BatteryDataPane, UnknownLevelIsNotFull) {
  auto p = pane("BatteryData");
  set_battery(-1.0, 0);
  EXPECT_EQ(get(p, "fullyCharged:"), "No");
  write_battery_data(sample_status());
  EXPECT_EQ(get(p, "ActualMaxCapacity:"), "Not yet available");
}

TEST_F(BatteryDataPane, SpecifierListLoadsOnce) {
  auto p = pane("BatteryData");
  auto first = specifiers(p);
  ASSERT_TRUE(first);
  std::filesystem::remove(device.path("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Battery Data.plist"));
  EXPECT_EQ(specifiers(p), first);
  auto other = pane("BatteryData");
  EXPECT_FALSE(specifiers(other));  // nil is not kept: the next call tries again
  EXPECT_FALSE(other->_specifiers);
}

class CableInfoPane : public PrefsTest {};

TEST_F(CableInfoPane, OnlyChargingIsConnectedAndEachCallLogs) {
  auto p = pane("CableInfo");
  set_battery(1.0, 3);
  EXPECT_EQ(get(p, "Link:"), "Not Connected");
  set_battery(0.5, 2);
  EXPECT_EQ(get(p, "Link:"), "Connected");
  EXPECT_EQ(get(p, "Link:"), "Connected");
  std::string log = device.read_text("/var/log/syslog");
  std::size_t count = 0;
  for (auto at = log.find("Device is charging."); at != std::string::npos; at = log.find("Device is charging.", at + 1))
    ++count;
  EXPECT_EQ(count, 2u);
}

TEST_F(CableInfoPane, AdapterRowsWithoutAdapterDetailsShowPlaceholder) {
  auto p = pane("CableInfo");
  write_battery_data(sample_status());
  EXPECT_EQ(get(p, "Amperage:"), "1000 mAh");
  EXPECT_EQ(get(p, "Description:"), "usb host");
  EXPECT_EQ(get(p, "Watts:"), "5");
  Value bare = sample_status();
  bare.mutable_dictionary().erase("AdapterDetails");
  write_battery_data(bare);
  set_battery(0.5, 2);
  EXPECT_EQ(get(p, "Amperage:"), "(null) mAh");
  for (const char* g : {"Description:", "FamilyCode:", "PMUConf:", "Watts:"}) EXPECT_EQ(get(p, g), "(null)") << g;
  EXPECT_EQ(get(p, "Link:"), "Connected");
}

}  // namespace
}  // namespace px::prefs
