#pragma once
// The simulated battery: an iPhone 5s cell with a level, a charge or
// discharge rate and a time scale. Without a rate it holds still, so a device
// booted without options reports the same battery every time. With a usage
// cycle it discharges to LOW, is plugged in, charges to HIGH, is unplugged,
// and again; every counted cycle wears its maximum capacity a little.

#include <random>
#include <string>

#include "host/device/battery_source.h"
#include "host/device/sim_options.h"

namespace device {

// The status dictionary of the default simulated battery, as the platform's
// battery entry holds it, for the given level (0..1), charger and wall time.
foundation::Value default_battery_status(double level, bool connected, bool full, double now_unix);

class SimBattery : public BatterySource {
 public:
  explicit SimBattery(SimOptions options);
  std::string description() const override;
  BatterySample sample(double elapsed_s, double now_unix) override;
  bool take_level(double level, double elapsed_s) override;
  bool take_state(int state, double elapsed_s) override;
  foundation::Result<void> plug(bool connected, double elapsed_s) override;
  // About one reading per percent, at most 50 a second and at least one.
  int poll_interval_ms() const override;
  double time_scale() const override { return m_options.speed; }

  // Model figures, for tests.
  double level() const { return m_level; }
  int state() const { return m_state; }
  bool connected() const { return m_connected; }
  int cycle_count() const { return m_cycles; }
  double max_capacity() const { return m_max_capacity; }
  double temperature() const { return m_temperature; }

 private:
  void advance_to(double elapsed_s);
  // Moves the level by up to `dt` simulated seconds towards the next turn of
  // the cycle; returns the seconds used (0 when nothing moves any more).
  double step(double dt);
  void count_discharge(double drop);
  void wear_one_cycle();
  void connect(bool connected);

  SimOptions m_options;
  double m_rate;  // signed, percent per simulated minute
  double m_level;
  double m_known_level;  // the capacities keep the last level anybody could tell
  bool m_connected;
  int m_state;
  double m_last_elapsed = 0;
  double m_full_for = 0;  // simulated seconds at full charge, in a cycle that charges to 100 %
  double m_max_capacity;  // mAh, fades a little with every cycle
  int m_cycles;
  double m_discharged = 0;  // mAh since the last counted cycle
  double m_temperature;     // hundredths of a degree Celsius
  std::mt19937 m_noise;
};

}  // namespace device
