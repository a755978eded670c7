#pragma once
// What `--battery sim:OPTIONS` says about the simulated battery.

#include <cstdint>
#include <optional>
#include <string>

#include "host/device/power_model.h"
#include "platform/foundation/result.h"

namespace px::host::device {

struct SimOptions {
  double level = 0.8;  // 0..1
  // A fixed rate, in percent of the level per simulated minute (> 0 charges),
  // for traces and tests; without `rate=` the load model sets the current.
  std::optional<double> rate_per_min;
  double speed = 1;               // simulated seconds per machine second (the device clock runs as fast)
  std::optional<bool> connected;  // charger; default: connected when the rate is positive
  // A usage cycle: discharge to `low`, plug in, charge to `high`, unplug, again (0..1, low < high).
  struct Cycle {
    double low, high;
  };
  std::optional<Cycle> cycle;
  // Health lost per full cycle, as a fraction of the design capacity (0.0002
  // for 0.02 %/cycle); nothing keeps the default fade.
  std::optional<double> wear_per_cycle;
  std::optional<int> cycles;  // the cycle count at start
  std::uint32_t seed = 1;     // of the wear's noise
  Usage usage = Usage::idle;  // the workload at start
};

// "level=80,rate=-1.5/min,speed=60,cycle=20-90,wear=0.02%/cycle,cycles=300,seed=7,usage=browse"
// (level also as 0.8 or 80%; rate per s, min or h; cycle bounds in percent).
platform::foundation::Result<SimOptions> parse_sim_options(const std::string& text);
// The options as the text that parses back to them (what `status` shows).
std::string describe_sim_options(const SimOptions& options);

}  // namespace px::host::device
