#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "host/device/battery_change.h"
#include "host/device/sim_battery.h"
#include "host/device/sysfs_battery.h"
#include "host/device/trace_battery.h"
#include "tests/support/temp_device.h"

namespace px::host::device {
namespace {

namespace fs = std::filesystem;
using platform::foundation::Value;

constexpr double kNow = 1'700'000'000;

TEST(SimOptionsText, ParsesLevelRateAndSpeed) {
  auto o = parse_sim_options("level=80,rate=-1.5/min,speed=60");
  ASSERT_TRUE(o) << o.message();
  EXPECT_DOUBLE_EQ(o->level, 0.8);
  EXPECT_DOUBLE_EQ(*o->rate_per_min, -1.5);
  EXPECT_DOUBLE_EQ(o->speed, 60);
  EXPECT_DOUBLE_EQ(parse_sim_options("rate=6/h")->rate_per_min.value_or(0), 0.1);
  EXPECT_DOUBLE_EQ(parse_sim_options("rate=1/s")->rate_per_min.value_or(0), 60);
  EXPECT_DOUBLE_EQ(parse_sim_options("level=0.3")->level, 0.3);
  EXPECT_DOUBLE_EQ(parse_sim_options("level=30%")->level, 0.3);
  EXPECT_FALSE(parse_sim_options("level=130"));
  EXPECT_FALSE(parse_sim_options("speed=0"));
  EXPECT_FALSE(parse_sim_options("rate=fast"));
  auto unknown = parse_sim_options("colour=red");
  ASSERT_FALSE(unknown);
  EXPECT_NE(unknown.message().find("colour"), std::string::npos);
}

TEST(SimBatteryModel, HoldsStillAtRateZero) {
  SimBattery b(*parse_sim_options("rate=0"));
  auto first = b.sample(0, kNow);
  auto later = b.sample(3600, kNow);
  EXPECT_EQ(first.level, later.level);
  EXPECT_EQ(first.status["AppleRawCurrentCapacity"], later.status["AppleRawCurrentCapacity"]);
  EXPECT_EQ(first.status["Temperature"], later.status["Temperature"]);
  EXPECT_EQ(b.poll_interval_ms(), 0);
}

TEST(SimBatteryModel, DefaultStatusHasTheRegistryKeysInTheirUnits) {
  SimBattery b(SimOptions{});
  auto s = b.sample(0, kNow);
  EXPECT_EQ(s.state, kStateUnplugged);
  const auto& st = s.status;
  ASSERT_TRUE(st.is_dictionary());
  EXPECT_GE(st.dictionary()->size(), 35u);
  for (const char* key : {"AppleRawCurrentCapacity", "DesignCapacity", "CycleCount", "Temperature", "UpdateTime",
                          "BootVoltage", "Voltage", "IOProbeScore", "MaxCapacity", "CurrentCapacity"})
    EXPECT_EQ(st[key].kind(), Value::Kind::integer) << key;
  for (const char* key : {"Serial", "Model", "IOProviderClass"}) EXPECT_TRUE(st[key].is_string()) << key;
  for (const char* key : {"IsCharging", "FullyCharged", "ExternalConnected", "ExternalChargeCapable"})
    EXPECT_EQ(st[key].kind(), Value::Kind::boolean) << key;
  // Capacities in mAh follow the level; temperature in hundredths of a degree; voltages in mV.
  EXPECT_EQ(st["AppleRawCurrentCapacity"].intValue(),
            static_cast<int>(std::lround(0.8 * st["MaxCapacity"].intValue())));
  EXPECT_GT(st["DesignCapacity"].intValue(), 1000);
  EXPECT_GT(st["Temperature"].intValue(), 2000);
  EXPECT_LT(st["Temperature"].intValue(), 4000);
  EXPECT_GT(st["Voltage"].intValue(), 3000);
  EXPECT_LT(st["Voltage"].intValue(), 4500);
  EXPECT_EQ(st["UpdateTime"].longLongValue(), static_cast<long long>(kNow));
  EXPECT_TRUE(st["BatteryData"]["ChemID"].is_number());
  EXPECT_TRUE(st["BatteryData"]["Flags"].is_number());
  EXPECT_TRUE(st["BatteryData"]["QmaxCell0"].is_number());
  // Unplugged: no charger details.
  EXPECT_TRUE(st["AdapterDetails"].is_nil());
  EXPECT_FALSE(st["ExternalConnected"].boolValue());
}

TEST(SimBatteryModel, DischargesAtItsRateOnTheTimeScale) {
  SimBattery b(*parse_sim_options("level=80,rate=-1.5/min,speed=60"));
  auto start = b.sample(0, kNow);
  auto after = b.sample(60, kNow + 60);  // one machine minute = one simulated hour = 90 %
  EXPECT_DOUBLE_EQ(start.level, 0.8);
  EXPECT_NEAR(after.level, 0.0, 1e-9);  // clamped at empty, not below
  auto mid = SimBattery(*parse_sim_options("level=80,rate=-1.5/min,speed=60")).sample(10, kNow);
  EXPECT_NEAR(mid.level, 0.8 - 0.15, 1e-9);
  EXPECT_LT(mid.status["AppleRawCurrentCapacity"].intValue(), start.status["AppleRawCurrentCapacity"].intValue());
  EXPECT_LT(mid.status["Amperage"].intValue(), 0);
  EXPECT_GT(mid.status["Temperature"].intValue(), start.status["Temperature"].intValue());  // warms under load
}

TEST(SimBatteryModel, CountsCyclesAndWearsTheMaximum) {
  SimBattery b(*parse_sim_options("level=100,rate=-100/min"));
  int cycles = b.cycle_count();
  double max = b.max_capacity();
  b.sample(60, kNow);  // 100 % in one minute: one full cycle
  EXPECT_EQ(b.cycle_count(), cycles + 1);
  EXPECT_LT(b.max_capacity(), max);
}

TEST(SimBatteryModel, PlugAndUnplugFollowTheCharger) {
  SimBattery b(*parse_sim_options("level=50,rate=-6/min"));
  ASSERT_TRUE(b.plug(true, 0));
  auto charging = b.sample(0, kNow);
  EXPECT_EQ(charging.state, kStateCharging);
  EXPECT_TRUE(charging.status["IsCharging"].boolValue());
  EXPECT_TRUE(charging.status["ExternalConnected"].boolValue());
  EXPECT_TRUE(charging.status["AdapterDetails"]["Watts"].is_number());
  auto rising = b.sample(60, kNow);  // charges at the same 6 %/min
  EXPECT_NEAR(rising.level, 0.56, 1e-9);
  auto full = b.sample(60 * 20, kNow);
  EXPECT_EQ(full.state, kStateFull);
  EXPECT_TRUE(full.status["FullyCharged"].boolValue());
  EXPECT_FALSE(full.status["IsCharging"].boolValue());
  EXPECT_TRUE(full.status["ExternalConnected"].boolValue());
  ASSERT_TRUE(b.plug(false, 60 * 20));
  auto off = b.sample(60 * 21, kNow);
  EXPECT_EQ(off.state, kStateUnplugged);
  EXPECT_TRUE(off.status["AdapterDetails"].is_nil());
  EXPECT_LT(off.level, 1.0);
}

TEST(SimBatteryModel, UnknownLevelKeepsTheLastCapacities) {
  SimBattery b(SimOptions{});
  auto before = b.sample(0, kNow);
  b.take_level(-1, 0);
  auto unknown = b.sample(0, kNow);
  EXPECT_EQ(unknown.level, -1);
  EXPECT_EQ(unknown.status["AppleRawCurrentCapacity"], before.status["AppleRawCurrentCapacity"]);
}

class TraceFiles : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    std::string path = device.root() + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  tests::support::TempDevice device;
};

TEST_F(TraceFiles, JsonLinesReplayInTimeOrder) {
  auto path = write("t.jsonl",
                    "# a comment\n"
                    "{\"Time\": 10, \"Level\": 0.5, \"State\": \"charging\", \"Status\": {\"CycleCount\": 3}}\n"
                    "\n"
                    "{\"Time\": 0, \"State\": 1, \"Status\": {\"AppleRawCurrentCapacity\": 750, "
                    "\"AppleRawMaxCapacity\": 1500, \"AdapterDetails\": {\"Watts\": 5}}}\n");
  auto samples = read_trace(path);
  ASSERT_TRUE(samples) << samples.message();
  ASSERT_EQ(samples->size(), 2u);
  EXPECT_EQ((*samples)[0].time, 0);
  EXPECT_DOUBLE_EQ((*samples)[0].reading.level, 0.5);  // from the capacities
  EXPECT_EQ((*samples)[0].reading.status["AdapterDetails"]["Watts"], Value(5));
  TraceBattery t(path, *samples, 1, false);
  EXPECT_EQ(t.sample(0, kNow).state, kStateUnplugged);
  EXPECT_EQ(t.sample(9.9, kNow).state, kStateUnplugged);
  EXPECT_EQ(t.sample(10, kNow).state, kStateCharging);
  EXPECT_EQ(t.sample(1000, kNow).status["CycleCount"], Value(3));  // the last sample stays
}

TEST_F(TraceFiles, PropertyListTracesAndLoopingAndSpeed) {
  auto path = write("t.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array>
 <dict><key>Time</key><real>0</real><key>Level</key><real>0.9</real><key>Status</key><dict><key>FullyCharged</key><true/></dict></dict>
 <dict><key>Time</key><integer>100</integer><key>Level</key><real>0.2</real></dict>
</array></plist>)");
  auto samples = read_trace(path);
  ASSERT_TRUE(samples) << samples.message();
  EXPECT_EQ((*samples)[0].reading.state, kStateFull);  // from FullyCharged
  EXPECT_TRUE((*samples)[1].reading.status.is_nil());
  TraceBattery fast(path, *samples, 10, false);
  EXPECT_DOUBLE_EQ(fast.sample(10, kNow).level, 0.2);
  TraceBattery looping(path, *samples, 1, true);
  EXPECT_DOUBLE_EQ(looping.sample(150, kNow).level, 0.9);
}

TEST_F(TraceFiles, BrokenTracesAreRefusedWithTheLine) {
  struct Refusal {
    std::string path;
    const char* says;
  };
  for (const Refusal& r : std::initializer_list<Refusal>{
           {device.root() + "/missing.jsonl", "no such file"},
           {write("a.jsonl", "{\"Time\": 0}\n{oops\n"), "line 2"},
           {write("b.jsonl", "{\"Level\": 0.5}\n"), "Time"},
       }) {
    auto refused = read_trace(r.path);
    ASSERT_FALSE(refused) << r.path;
    EXPECT_NE(refused.message().find(r.says), std::string::npos) << refused.message();
  }
  EXPECT_EQ(read_trace(device.root() + "/missing.jsonl").code(), platform::foundation::Errc::missing);
  EXPECT_FALSE(read_trace(write("c.jsonl", "{\"Time\": 0, \"Level\": 7}\n")));
  EXPECT_FALSE(read_trace(write("d.jsonl", "# nothing\n")));
  EXPECT_FALSE(read_trace(write("e.plist", "<?xml version=\"1.0\"?><plist><dict/></plist>")));
}

class FakePowerSupply : public ::testing::Test {
 protected:
  void supply(const std::string& name, std::map<std::string, std::string> attrs) {
    fs::create_directories(dir() + "/" + name);
    for (auto& [k, v] : attrs) std::ofstream(dir() + "/" + name + "/" + k) << v << "\n";
  }
  std::string dir() const { return device.root() + "/power_supply"; }
  tests::support::TempDevice device;
};

TEST_F(FakePowerSupply, MapsKernelFiguresOntoRegistryKeysAndUnits) {
  supply("BAT0", {{"type", "Battery"},
                  {"present", "1"},
                  {"status", "Charging"},
                  {"capacity", "64"},
                  {"charge_now", "3200000"},
                  {"charge_full", "5000000"},
                  {"charge_full_design", "5200000"},
                  {"voltage_now", "11900000"},
                  {"current_now", "1450000"},
                  {"temp", "305"},
                  {"cycle_count", "87"},
                  {"serial_number", "SN 42"},
                  {"model_name", "DELL 5XJ28"},
                  {"manufacturer", "SMP"}});
  supply("AC", {{"type", "Mains"}, {"online", "1"}, {"current_max", "3250000"}, {"voltage_max", "20000000"}});
  auto s = read_sysfs_battery(dir(), kNow);
  ASSERT_TRUE(s) << s.message();
  EXPECT_DOUBLE_EQ(s->level, 0.64);
  EXPECT_EQ(s->state, kStateCharging);
  platform::foundation::Dictionary expected{
      {"AppleRawCurrentCapacity", 3200},
      {"CurrentCapacity", 3200},
      {"AppleRawMaxCapacity", 5000},
      {"MaxCapacity", 5000},
      {"DesignCapacity", 5200},
      {"Voltage", 11900},
      {"Amperage", 1450},
      {"InstantAmperage", 1450},
      {"Temperature", 3050},
      {"CycleCount", 87},
      {"Serial", "SN 42"},
      {"Model", "DELL 5XJ28"},
      {"Manufacturer", "SMP"},
      {"BatteryInstalled", true},
      {"IsCharging", true},
      {"FullyCharged", false},
      {"ExternalConnected", true},
      {"ExternalChargeCapable", true},
      {"UpdateTime", static_cast<long long>(kNow)},
      {"AdapterDetails",
       platform::foundation::Dictionary{
           {"Description", "mains"}, {"Amperage", 3250}, {"AdapterVoltage", 20000}, {"Watts", 65}}},
  };
  EXPECT_EQ(s->status, Value(expected)) << s->status.description();
}

TEST_F(FakePowerSupply, EnergyOnlyBatteriesAndDischargingSign) {
  supply("BAT1", {{"type", "Battery"},
                  {"status", "Discharging"},
                  {"energy_now", "22200000"},
                  {"energy_full", "44400000"},
                  {"voltage_min_design", "11100000"},
                  {"current_now", "900000"}});
  supply("ADP1", {{"type", "Mains"}, {"online", "0"}});
  auto s = read_sysfs_battery(dir(), kNow);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->status["AppleRawCurrentCapacity"], Value(2000));  // 22.2 Wh / 11.1 V
  EXPECT_EQ(s->status["MaxCapacity"], Value(4000));
  EXPECT_DOUBLE_EQ(s->level, 0.5);
  EXPECT_EQ(s->state, kStateUnplugged);
  EXPECT_EQ(s->status["Amperage"], Value(-900));
  EXPECT_FALSE(s->status["ExternalConnected"].boolValue());
  EXPECT_TRUE(s->status["AdapterDetails"].is_nil());
  // Nothing the kernel did not say is made up.
  for (const char* key : {"Temperature", "CycleCount", "Serial", "DesignCapacity", "BootVoltage", "BatteryData"})
    EXPECT_TRUE(s->status[key].is_nil()) << key;
}

TEST_F(FakePowerSupply, NoBatteryIsAClearRefusal) {
  supply("AC", {{"type", "Mains"}, {"online", "1"}});
  supply("BAT0", {{"type", "Battery"}, {"present", "0"}});
  auto none = read_sysfs_battery(dir(), kNow);
  ASSERT_FALSE(none);
  EXPECT_NE(none.message().find("no battery"), std::string::npos);
  EXPECT_FALSE(make_battery_source("sysfs:" + dir()));
  EXPECT_FALSE(make_battery_source("sysfs:" + device.root() + "/nothing-here"));
}

TEST(BatterySourceSpec, NamesEachKindAndRefusesTheUnknown) {
  EXPECT_EQ((*make_battery_source("sim"))->description(), "sim");
  EXPECT_TRUE(make_battery_source("sim:level=50,rate=-1/min"));
  EXPECT_FALSE(make_battery_source("sim:level=500"));
  EXPECT_FALSE(make_battery_source("trace:"));
  auto solar = make_battery_source("solar");
  ASSERT_FALSE(solar);
  EXPECT_NE(solar.message().find("solar"), std::string::npos);
}

}  // namespace
}  // namespace px::host::device
