#pragma once
// The simulated battery: an iPhone 5s cell with a level, a time scale and,
// unless a fixed `rate=` is given, a current set by what is on (the load
// model of power_model.h): it discharges by the phone's load and charges
// through the adapter's constant-current/constant-voltage profile. With a
// usage cycle it discharges to LOW, is plugged in, charges to HIGH, is
// unplugged, and again; every counted cycle wears its capacity a little and
// raises its resistance. However fast it runs, it integrates in small steps
// and keeps a reading at every turn of the cycle for the driver to write.

#include <deque>
#include <functional>
#include <random>
#include <string>

#include "host/device/battery_source.h"
#include "host/device/power_model.h"
#include "host/device/sim_options.h"
#include "host/device/sim_status.h"

namespace px::host::device {

// The status dictionary of the default simulated battery, as the platform's
// battery entry holds it, for the given level (0..1), charger and wall time.
platform::foundation::Value default_battery_status(double level, bool connected, bool full, double now_unix);

class SimBattery : public BatterySource {
 public:
  // `power` tells what is on at each reading; none: the device's own switches
  // and screen (PowerStateReader).
  explicit SimBattery(SimOptions options, std::function<PowerState(Usage)> power = {});
  std::string description() const override;
  BatterySample sample(double elapsed_s, double now_unix) override;
  bool take_level(double level, double elapsed_s) override;
  bool take_state(int state, double elapsed_s) override;
  platform::foundation::Result<void> plug(bool connected, double elapsed_s) override;
  platform::foundation::Result<void> set_usage(const std::string& name, double elapsed_s) override;
  std::optional<std::string> usage() const override;
  // About one reading per percent (fixed rate) or per mAh at a typical
  // current (load model), at most 50 a second and at least one.
  int poll_interval_ms() const override;
  double time_scale() const override { return m_options.speed; }

  // Model figures, for tests and the bench.
  double level() const { return m_level; }
  int state() const { return m_state; }
  bool connected() const { return m_connected; }
  int cycle_count() const { return m_cycles; }
  double max_capacity() const { return m_max_capacity; }
  double temperature() const { return m_temperature; }
  double current_ma() const { return m_current; }  // into the cell, < 0 discharging
  bool constant_voltage() const { return m_constant_voltage; }
  std::size_t turns_unread() const { return m_turns.size(); }
  double resistance() const;

 private:
  void advance_to(double elapsed_s);
  // Moves the level by up to `dt` simulated seconds towards the next turn of
  // the cycle; returns the seconds used (0 when nothing moves any more).
  double step(double dt);
  // The current into the cell now (mA), from the fixed rate or the load model.
  double cell_current();
  void count_discharge(double drop);
  void wear_one_cycle();
  void connect(bool connected);
  Figures figures(double now_unix) const;
  void keep_turn();

  SimOptions m_options;
  std::function<PowerState(Usage)> m_power;
  PowerState m_now;      // what is on, as read at the last reading
  double m_rate = 0;     // fixed rate, signed, percent per simulated minute
  bool m_fixed = false;  // `rate=` given: the load model stays out
  Usage m_usage;
  double m_level;
  double m_known_level;  // the capacities keep the last level anybody could tell
  // The level as read: the load model's level moves a little every step, the
  // gauge's by whole mAh, so that a reading changes only when something did.
  double m_shown_level;
  bool m_connected;
  int m_state;
  double m_last_elapsed = 0;
  double m_sim_time = 0;  // simulated seconds since the start
  double m_full_for = 0;  // simulated seconds at full charge, in a cycle that charges to 100 %
  double m_max_capacity;  // mAh, fades a little with every cycle
  int m_cycles;
  double m_discharged = 0;  // mAh since the last counted cycle
  double m_temperature;     // hundredths of a degree Celsius
  double m_current = 0;     // mA into the cell at the last step
  bool m_constant_voltage = false;
  std::mt19937 m_noise;
  // Readings at turns of the cycle not yet handed out, oldest first, each
  // with the simulated time it was taken.
  struct Turn {
    Figures figures;
    double level;
    int state;
    double sim_time;
  };
  std::deque<Turn> m_turns;
};

}  // namespace px::host::device
