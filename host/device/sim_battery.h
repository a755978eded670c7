#pragma once
// The simulated battery: an iPhone 5s cell with a level, a charge or
// discharge rate and a time scale. Without a rate it holds still, so a device
// booted without options reports the same battery every time.

#include <optional>
#include <string>

#include "host/device/battery_source.h"

namespace device {

struct SimOptions {
  double level = 0.8;          // 0..1
  double rate_per_min = 0;     // percent of the level per simulated minute; > 0 charges
  double speed = 1;            // simulated seconds per machine second
  std::optional<bool> connected;  // charger; default: connected when the rate is positive
};

// "level=80,rate=-1.5/min,speed=60" (level also as 0.8 or 80%; rate per s, min or h).
std::optional<SimOptions> parse_sim_options(const std::string& text, std::string* error);

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
  bool plug(bool connected, double elapsed_s, std::string* error) override;
  int poll_interval_ms() const override;

  // Model figures, for tests.
  double level() const { return m_level; }
  int cycle_count() const { return m_cycles; }
  double max_capacity() const { return m_max_capacity; }
  double temperature() const { return m_temperature; }

 private:
  void advance_to(double elapsed_s);
  SimOptions m_options;
  double m_rate;  // signed, percent per simulated minute
  double m_level;
  double m_known_level;  // the capacities keep the last level anybody could tell
  bool m_connected;
  int m_state;
  double m_last_elapsed = 0;
  double m_max_capacity;  // mAh, fades a little with every cycle
  int m_cycles;
  double m_discharged = 0;  // mAh since the last counted cycle
  double m_temperature;     // hundredths of a degree Celsius
};

}  // namespace device
