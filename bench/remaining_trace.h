#pragma once
// Battery traces for measuring the time-left estimate: the device's own
// simulated battery (host/device's SimBattery: its load model, its cell, its
// charger) driven in-process at a day a minute, with a gauge that adds the
// reading error a real one has; or a recorded trace read from CSV. Each point
// carries the true time left at the load of that moment, the figure the
// estimate promises.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/sample.h"

namespace px::bench {

struct TracePoint {
  history::Sample sample;
  std::optional<double> truth_seconds;  // none: not checked
};

struct Trace {
  std::string name;
  std::vector<TracePoint> points;
  std::optional<std::int64_t> load_change;  // when the load changed
};

// Usage names: idle, browse, video, call (`simdevice usage`). The phone is
// unlocked, screen at 50 %, Wi-Fi and cellular on.
// A discharge from full under `first`, switching to `second` halfway through it.
Trace sim_discharge(const std::string& first, const std::string& second, unsigned seed);
// A charge on the 5 W adapter from `from_percent` under `first`, switching to
// `second` halfway to full.
Trace sim_charge(int from_percent, const std::string& first, const std::string& second, unsigned seed);

// A recorded trace: CSV with the header
// time,raw_capacity,max_capacity,amperage,external,charging,full
// and optionally, named in the header after those, voltage and truth_seconds
// (Unix seconds, mAh, mA, mV, seconds). Without the truth column the truth is the time until
// the trace's own end (empty, or full), checked only after its last load change
// (a row whose `time` is followed by a `# load change` comment line), where
// the load then is the load to the end.
std::optional<Trace> read_trace(const std::string& path, std::string& error);

}  // namespace px::bench
