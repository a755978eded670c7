// The load model, the cell and the charge profile: the current is the sum of
// what is on and answers each switch; a charge runs constant current, then
// constant voltage tapering to the cut-off; the voltage follows the cell.

#include <gtest/gtest.h>

#include "host/device/battery_change.h"
#include "host/device/power_model.h"
#include "host/device/sim_battery.h"

namespace px::host::device {
namespace {

PowerState everything_off() {
  PowerState s;
  s.wifi = s.bluetooth = s.location = false;
  s.airplane = true;
  return s;
}

TEST(LoadModel, EachPartAddsToTheSumAndEachSwitchTakesItsPartAway) {
  double rest = load_milliamps(everything_off());
  EXPECT_GT(rest, 0);
  // Every switch and the screen add current on their own, and the parts add up.
  PowerState all = everything_off();
  double parts = 0;
  for (auto turn_on : std::initializer_list<void (*)(PowerState&)>{
           [](PowerState& s) { s.wifi = true; }, [](PowerState& s) { s.bluetooth = true; },
           [](PowerState& s) { s.location = true; }, [](PowerState& s) { s.airplane = false; },
           [](PowerState& s) { s.screen_on = true; }}) {
    PowerState one = everything_off();
    turn_on(one);
    turn_on(all);
    double part = load_milliamps(one) - rest;
    EXPECT_GT(part, 0);
    parts += part;
  }
  EXPECT_NEAR(load_milliamps(all), rest + parts, 1e-9);
  // Brightness matters only while the screen is on (off while locked).
  PowerState bright = all, dim = all;
  bright.brightness = 1;
  dim.brightness = 0.1;
  EXPECT_GT(load_milliamps(bright), load_milliamps(dim) + 50);
  bright.screen_on = dim.screen_on = false;
  EXPECT_DOUBLE_EQ(load_milliamps(bright), load_milliamps(dim));
  // Workloads cost more in this order; a call needs the cellular radio.
  PowerState w = all;
  double last = 0;
  for (Usage u : {Usage::idle, Usage::browse, Usage::video, Usage::call}) {
    w.usage = u;
    EXPECT_GT(load_milliamps(w), last) << usage_name(u);
    last = load_milliamps(w);
  }
  PowerState in_flight = w;
  in_flight.airplane = true;
  EXPECT_LT(load_milliamps(in_flight), load_milliamps(w) - 100);
  EXPECT_EQ(parse_usage("video"), Usage::video);
  EXPECT_FALSE(parse_usage("Video"));
}

TEST(Cell, OpenCircuitVoltageIsSteepAtTheEndsAndFlatInTheMiddle) {
  auto slope = [](double a, double b) { return (open_circuit_voltage(b) - open_circuit_voltage(a)) / (b - a); };
  for (double soc = 0; soc < 1; soc += 0.01) EXPECT_LT(open_circuit_voltage(soc), open_circuit_voltage(soc + 0.01));
  EXPECT_GT(slope(0, 0.05), 4 * slope(0.3, 0.6));
  EXPECT_GT(slope(0.9, 1), 3 * slope(0.3, 0.6));
  EXPECT_NEAR(open_circuit_voltage(1), 4.33, 0.03);
  // Aging raises the resistance; the terminal voltage sags under load, rises on charge.
  EXPECT_GT(cell_resistance(0.8), 1.3 * cell_resistance(1));
  double r = cell_resistance(0.96);
  EXPECT_LT(terminal_voltage(0.5, -500, r), open_circuit_voltage(0.5));
  EXPECT_GT(terminal_voltage(0.5, 500, r), open_circuit_voltage(0.5));
}

// A battery whose phone is locked and idle, or as `state` says.
SimBattery sim(const std::string& options, PowerState* state = nullptr) {
  return SimBattery(*parse_sim_options(options), [state](Usage u) {
    PowerState s = state ? *state : PowerState{};
    s.usage = u;
    return s;
  });
}

TEST(ChargeProfile, ConstantCurrentThenATaperToTheCutOffThenFull) {
  SimBattery b = sim("level=0,charger=on,speed=60");  // a reading each simulated minute
  double cc_current = 0, t80 = 0, t_cv = 0, t_full = 0, last_cv_current = 1e9;
  for (int minute = 1; minute < 600 && b.state() != kStateFull; ++minute) {
    auto s = b.sample(minute, 0);
    if (!b.constant_voltage() && b.state() == kStateCharging) {
      if (minute == 10) cc_current = b.current_ma();
      EXPECT_NEAR(b.current_ma(), cc_current ? cc_current : b.current_ma(), 1e-6) << "constant current";
      EXPECT_LT(s.status["Voltage"].intValue(), 4350);
    } else if (b.constant_voltage()) {
      if (!t_cv) t_cv = minute;
      EXPECT_LE(b.current_ma(), last_cv_current + 1e-9) << "the current tapers";
      last_cv_current = b.current_ma();
      EXPECT_NEAR(s.status["Voltage"].intValue(), 4350, 2);
      EXPECT_EQ(s.status["InstantAmperage"].intValue(), std::lround(b.current_ma()));
    }
    if (!t80 && b.level() >= 0.8) t80 = minute;
    t_full = minute;
  }
  ASSERT_EQ(b.state(), kStateFull);
  EXPECT_GT(cc_current, 800);  // the 5 W adapter less the phone's own load
  EXPECT_LT(cc_current, 1000);
  EXPECT_GT(t_cv, t80 * 0.9);
  EXPECT_LT(t80, 0.75 * t_full) << "80 % in the first part of the time";
  EXPECT_GT(t_full - t_cv, 0.25 * t_full) << "the taper takes much of the rest";
  EXPECT_LT(last_cv_current, 1.5 * kCutoffC * b.max_capacity()) << "a minute before the cut-off";
  // The phone's load comes out of the charger's current.
  PowerState busy;
  busy.screen_on = true;
  busy.brightness = 1;
  busy.usage = Usage::video;
  SimBattery loaded = sim("level=20,charger=on,usage=video", &busy), resting = sim("level=20,charger=on");
  EXPECT_NEAR(resting.current_ma() - loaded.current_ma(), load_milliamps(busy) - load_milliamps(PowerState{}), 1e-6);
}

TEST(LoadDrivenBattery, DischargesByWhatIsOnAndWarmsWithTheCurrent) {
  PowerState state;
  SimBattery b = sim("level=80,speed=3600", &state);  // an hour a second
  auto locked = b.sample(1, 0);
  EXPECT_NEAR(locked.status["InstantAmperage"].intValue(), -load_milliamps(state), 1);
  EXPECT_EQ(b.usage(), "idle");
  state.screen_on = true;
  state.brightness = 1;
  ASSERT_TRUE(b.set_usage("video", 1));
  EXPECT_FALSE(b.set_usage("gaming", 1));
  state.usage = Usage::video;
  double before = b.level();
  auto busy = b.sample(2, 0);
  EXPECT_EQ(busy.status["Amperage"].intValue(), busy.status["InstantAmperage"].intValue());
  EXPECT_NEAR(busy.status["InstantAmperage"].intValue(), -load_milliamps(state), 1);
  EXPECT_NEAR(before - b.level(), load_milliamps(state) / b.max_capacity(), 1e-3) << "one hour's mAh";
  EXPECT_LT(busy.status["Voltage"].intValue(), std::lround(1000 * open_circuit_voltage(b.level())));
  EXPECT_GT(b.temperature(), kIdleTemperature);
  // A fixed rate keeps the load model out.
  SimBattery fixed = sim("rate=-1/min");
  EXPECT_FALSE(fixed.usage());
  EXPECT_FALSE(fixed.set_usage("video", 0));
}

TEST(LoadDrivenBattery, AtHighSpeedEveryTurnOfTheCycleIsReadInOrder) {
  PowerState state;
  state.screen_on = true;
  SimBattery b = sim("level=50,speed=1000000,cycle=20-90,usage=browse,cycles=0", &state);
  // One reading covers several turns; the readings that follow tell each, in order.
  b.sample(0.2, 1e9);
  ASSERT_GT(b.turns_unread(), 3u);
  std::vector<BatterySample> read;
  while (b.turns_unread() > 0) read.push_back(b.sample(0.2, 1e9));
  long long last_time = 0;
  for (std::size_t i = 0; i < read.size(); ++i) {
    bool plugged = read[i].status["ExternalConnected"].boolValue();
    EXPECT_NEAR(read[i].level, plugged ? 0.2 : 0.9, 1e-9);
    if (i > 0) {
      EXPECT_NE(plugged, read[i - 1].status["ExternalConnected"].boolValue());
    }
    long long t = read[i].status["UpdateTime"].intValue();
    EXPECT_GT(t, last_time);
    EXPECT_LT(t, 1e9);
    last_time = t;
  }
}

}  // namespace
}  // namespace px::host::device
