// `make bench`: battery life from full under each usage, measured by running
// the simulated battery (its load model and cell) at high speed with the
// device's state held as each row says, and the charge profile from empty.
// Prints the tables docs/battery-model.md shows.

#include <cstdio>
#include <functional>
#include <string>

#include "host/device/battery_change.h"
#include "host/device/power_model.h"
#include "host/device/sim_battery.h"

namespace {

using px::host::device::PowerState;
using px::host::device::SimBattery;
using px::host::device::Usage;

// The sim at speed 100000, read once a simulated minute (it integrates in
// finer steps of its own between readings).
constexpr double kSpeed = 100000;
constexpr double kPoll = 60 / kSpeed;

// The tweak's power-saving actions as a user who dims to 20 % has them:
// Wi-Fi, Location, Bluetooth off, Airplane Mode on, the screen dimmed.
void power_saving_actions(PowerState& s) {
  s.wifi = s.location = s.bluetooth = false;
  s.airplane = true;
  s.brightness = 0.2;
}

struct Discharge {
  double hours = 0;          // full to empty
  double hours_from_20 = 0;  // 20 % to empty
};

// Runs a battery from full to empty; `at_20` may change the state once the
// level reaches 20 %.
Discharge discharge(PowerState state, const std::function<void(PowerState&)>& at_20 = {}) {
  px::host::device::SimOptions o;
  o.level = 1;
  o.speed = kSpeed;
  o.usage = state.usage;
  o.connected = false;
  bool acted = false;
  SimBattery b(o, [&](Usage usage) {
    PowerState s = state;
    s.usage = usage;
    return s;
  });
  Discharge d;
  double at_20_s = -1;
  for (int i = 1; b.level() > 0 && i < 10'000'000; ++i) {
    b.sample(i * kPoll, 0);
    if (at_20_s < 0 && b.level() <= 0.2) {
      at_20_s = i * kPoll * kSpeed;
      if (at_20 && !acted) {
        at_20(state);
        acted = true;
      }
    }
    d.hours = i * kPoll * kSpeed / 3600;
  }
  d.hours_from_20 = d.hours - at_20_s / 3600;
  return d;
}

std::string hours(double h) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d h %02d min", static_cast<int>(h), static_cast<int>((h - int(h)) * 60 + 0.5));
  return buf;
}

// Time from empty to 80 % and to full on the 5 W adapter, locked and idle.
void charge_profile() {
  px::host::device::SimOptions o;
  o.level = 0;
  o.speed = kSpeed;
  o.connected = true;
  SimBattery b(o, [](Usage usage) {
    PowerState s;
    s.usage = usage;
    return s;
  });
  double to_80 = -1, to_cv = -1, cv_level = 0;
  int i = 1;
  for (; b.state() != px::host::device::kStateFull && i < 10'000'000; ++i) {
    b.sample(i * kPoll, 0);
    double t = i * kPoll * o.speed / 3600;
    if (to_80 < 0 && b.level() >= 0.8) to_80 = t;
    if (to_cv < 0 && b.constant_voltage()) {
      to_cv = t;
      cv_level = b.level();
    }
  }
  double full = i * kPoll * o.speed / 3600;
  std::printf("\nCharge from empty, 5 W adapter, locked and idle:\n\n");
  std::printf("| to 80 %% | constant current ends (level) | to full | 80 %% in this share of the time |\n");
  std::printf("| --- | --- | --- | --- |\n");
  std::printf("| %s | %s (%.0f %%) | %s | %.0f %% |\n", hours(to_80).c_str(), hours(to_cv).c_str(), cv_level * 100,
              hours(full).c_str(), to_80 / full * 100);
}

}  // namespace

int main() {
  std::printf("Battery life from full (simulated, %.0fx), screen unlocked:\n\n", kSpeed);
  std::printf(
      "| usage | screen 50 %%, Wi-Fi + cellular | screen 100 %%, every radio on | the same, power saving at 20 %% | "
      "20 %% to empty: without → with power saving |\n");
  std::printf("| --- | --- | --- | --- | --- |\n");
  for (Usage u : {Usage::idle, Usage::browse, Usage::video, Usage::call}) {
    PowerState half;
    half.screen_on = true;
    half.brightness = 0.5;
    half.bluetooth = half.location = false;
    half.usage = u;
    PowerState full = half;
    full.brightness = 1;
    full.bluetooth = full.location = true;
    Discharge a = discharge(half), b = discharge(full), c = discharge(full, power_saving_actions);
    std::printf("| %s | %s | %s | %s | %s → %s (+%.0f %%) |\n", px::host::device::usage_name(u), hours(a.hours).c_str(),
                hours(b.hours).c_str(), hours(c.hours).c_str(), hours(b.hours_from_20).c_str(),
                hours(c.hours_from_20).c_str(), (c.hours_from_20 / b.hours_from_20 - 1) * 100);
  }
  PowerState standby;  // locked: the screen is off
  std::printf("| standby (locked, every radio on) | %s | | | |\n", hours(discharge(standby).hours).c_str());
  charge_profile();
  return 0;
}
