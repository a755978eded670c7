// The aging simulated battery: its usage cycle turns at each bound however the
// clock is stepped, wear adds up per full cycle, and time runs at its speed.
// Driven with a manual clock: `sample(elapsed, now)` is machine time.

#include <gtest/gtest.h>

#include "host/device/battery_change.h"
#include "host/device/sim_battery.h"
#include "host/device/sim_status.h"

namespace px::host::device {
namespace {

constexpr double kNow = 1'700'000'000;

SimBattery battery(const std::string& options) {
  auto o = parse_sim_options(options);
  EXPECT_TRUE(o) << o.message();
  return SimBattery(o.value_or(SimOptions{}));
}

// The reading of now, once the readings kept at earlier turns are read.
BatterySample latest(SimBattery& b, double elapsed) {
  b.sample(elapsed, kNow);
  while (b.turns_unread() > 0) b.sample(elapsed, kNow);
  return b.sample(elapsed, kNow);
}

TEST(SimAgingOptions, ParseAndDescribeTheSameBattery) {
  auto o = parse_sim_options("cycle=20-90,rate=-30/min,speed=100000,wear=0.02%/cycle,cycles=300,seed=7");
  ASSERT_TRUE(o) << o.message();
  EXPECT_DOUBLE_EQ(o->cycle->low, 0.2);
  EXPECT_DOUBLE_EQ(o->cycle->high, 0.9);
  EXPECT_DOUBLE_EQ(*o->wear_per_cycle, 0.0002);
  EXPECT_EQ(*o->cycles, 300);
  EXPECT_EQ(o->seed, 7u);
  auto again = parse_sim_options(describe_sim_options(*o).substr(4));
  ASSERT_TRUE(again) << describe_sim_options(*o);
  EXPECT_EQ(describe_sim_options(*again), describe_sim_options(*o));
  EXPECT_EQ(battery("cycle=20%-90%,rate=-1/min").description().substr(0, 4), "sim:");
}

TEST(SimAgingOptions, RefusesWhatCannotBeSimulated) {
  for (const char* bad : {"cycle=90-20,rate=-1/min", "cycle=20-20,rate=-1/min", "cycle=20,rate=-1/min",
                          "cycle=20-120,rate=-1/min", "cycle=20-90,rate=0", "usage=run", "wear=0.02", "wear=-1%/cycle",
                          "wear=abc%/cycle", "cycles=-3", "cycles=2.5", "seed=x", "speed=1e7"}) {
    auto refused = parse_sim_options(bad);
    ASSERT_FALSE(refused) << bad;
    EXPECT_NE(refused.message().find("sim battery: "), std::string::npos) << bad;
  }
}

TEST(SimUsageCycle, TurnsAtEachBoundAndStaysBetweenThem) {
  SimBattery b = battery("level=50,rate=-30/min,cycle=20-90");  // 0.5 % per second
  std::vector<std::pair<double, bool>> turns;                   // when the charger changed, and to what
  bool connected = b.connected();
  double lowest = 1, highest = 0;
  for (int t = 1; t <= 600; ++t) {
    auto s = b.sample(t, kNow + t);
    lowest = std::min(lowest, s.level);
    highest = std::max(highest, s.level);
    if (b.connected() != connected) turns.emplace_back(t, connected = b.connected());
    EXPECT_EQ(s.status["ExternalConnected"].boolValue(), b.connected());
  }
  EXPECT_GE(lowest, 0.2 - 1e-9);
  EXPECT_LE(highest, 0.9 + 1e-9);
  // 50 → 20 takes 60 s, 20 → 90 and back 140 s each.
  ASSERT_EQ(turns.size(), 4u);
  EXPECT_EQ(turns[0], std::make_pair(60.0, true));
  EXPECT_EQ(turns[1], std::make_pair(200.0, false));
  EXPECT_EQ(turns[2], std::make_pair(340.0, true));
  EXPECT_EQ(turns[3], std::make_pair(480.0, false));
  EXPECT_EQ(b.state(), kStateUnplugged);
}

TEST(SimUsageCycle, OneLongStepEndsWhereManySmallOnesDo) {
  const std::string options = "level=50,rate=-30/min,cycle=20-90,wear=0.02%/cycle,cycles=0";
  SimBattery stepped = battery(options), leaped = battery(options);
  for (int t = 1; t <= 5000; ++t) stepped.sample(t * 7.0, kNow);
  leaped.sample(35000, kNow);
  EXPECT_NEAR(leaped.level(), stepped.level(), 1e-6);
  EXPECT_EQ(leaped.connected(), stepped.connected());
  EXPECT_EQ(leaped.cycle_count(), stepped.cycle_count());
  EXPECT_NEAR(leaped.max_capacity(), stepped.max_capacity(), 1e-6);
  // 125 loops of 70 % down: 87.5 full cycles.
  EXPECT_NEAR(leaped.cycle_count(), 87.5, 1);
}

TEST(SimUsageCycle, ChargingTo100RestsFullBeforeUnplugging) {
  SimBattery b = battery("level=90,rate=60/min,cycle=50-100");  // 1 % per second
  auto full = b.sample(10, kNow);
  EXPECT_EQ(full.state, kStateFull);
  EXPECT_TRUE(full.status["FullyCharged"].boolValue());
  EXPECT_EQ(full.status["Amperage"].intValue(), 0);
  EXPECT_EQ(b.sample(10 + 30 * 60 - 1, kNow).state, kStateFull);
  auto off = latest(b, 10 + 30 * 60 + 5);
  EXPECT_EQ(off.state, kStateUnplugged);
  EXPECT_NEAR(off.level, 0.95, 1e-9);
}

TEST(SimUsageCycle, APlugByHandTurnsTheCycleEarly) {
  SimBattery b = battery("level=60,rate=-30/min,cycle=20-90");
  ASSERT_TRUE(b.plug(true, 10));  // at 55 %
  EXPECT_NEAR(b.sample(20, kNow).level, 0.6, 1e-9);
  EXPECT_TRUE(b.take_level(0.1, 20));  // below the cycle: it charges on
  EXPECT_NEAR(b.sample(40, kNow).level, 0.2, 1e-9);
  EXPECT_TRUE(b.connected());
}

TEST(SimWear, AddsUpPerFullCycleWithSeededNoise) {
  const std::string options = "level=90,rate=-30/min,cycle=20-90,wear=0.02%/cycle,cycles=0";
  SimBattery a = battery(options), again = battery(options), other = battery(options + ",seed=2");
  for (auto* b : {&a, &again, &other}) b->sample(400000, kNow);  // 1000 full cycles
  EXPECT_NEAR(a.cycle_count(), 1000, 1);
  double lost_points = (kFreshMaxCapacity - a.max_capacity()) / kDesignCapacity * 100;
  EXPECT_NEAR(lost_points, a.cycle_count() * 0.02, 1.0);
  EXPECT_EQ(a.max_capacity(), again.max_capacity()) << "same seed, same wear";
  EXPECT_NE(a.max_capacity(), other.max_capacity());
  EXPECT_NEAR(a.max_capacity(), other.max_capacity(), 0.01 * kDesignCapacity);
  auto status = latest(a, 400000).status;
  EXPECT_EQ(status["CycleCount"].intValue(), a.cycle_count());
  EXPECT_EQ(status["MaxCapacity"].intValue(), std::lround(a.max_capacity()));
}

TEST(SimWear, NeverTakesTheCellBelowATenthOfItsDesign) {
  SimBattery b = battery("level=100,rate=-600/min,cycle=0-100,wear=10%/cycle");
  b.sample(100000, kNow);
  EXPECT_GE(b.max_capacity(), 0.1 * kDesignCapacity - 1e-9);
  EXPECT_GT(b.cycle_count(), kFreshCycles + 20);
}

TEST(SimWear, WithoutAWearOptionTheDefaultFadeStays) {
  SimBattery b = battery("level=100,rate=-100/min,cycles=5");
  b.sample(60, kNow);
  EXPECT_EQ(b.cycle_count(), 6);
  EXPECT_DOUBLE_EQ(b.max_capacity(), kFreshMaxCapacity * 0.9995);
}

TEST(SimSpeed, ModelAndClockRunAtTheSpeedAndReadingsStayUnder50ASecond) {
  SimBattery b = battery("level=80,rate=-30/min,speed=100");
  EXPECT_EQ(b.time_scale(), 100);
  auto s = b.sample(1, kNow + 100);  // one machine second: 100 simulated, 50 points
  EXPECT_NEAR(s.level, 0.3, 1e-9);
  EXPECT_EQ(s.status["UpdateTime"].intValue(), static_cast<long long>(kNow + 100));
  EXPECT_EQ(b.poll_interval_ms(), 20) << "50 points a second: capped at 50 readings";
  EXPECT_EQ(battery("rate=-30/min,speed=100000").poll_interval_ms(), 20);
  EXPECT_EQ(battery("rate=-1.5/min").poll_interval_ms(), 1000);
  EXPECT_EQ(battery("rate=-30/min,speed=2").poll_interval_ms(), 1000);
  EXPECT_EQ(battery("rate=-30/min,speed=40").poll_interval_ms(), 50) << "one reading per percent";
  EXPECT_EQ(battery("level=50,rate=0").poll_interval_ms(), 0);
  EXPECT_EQ(battery("level=50").poll_interval_ms(), 1000) << "the load model moves on its own";
  EXPECT_EQ(battery("level=50").time_scale(), 1);
}

}  // namespace
}  // namespace px::host::device
