#pragma once
// A recorded battery, replayed. A trace is a list of timestamped samples, each
// {"Time": seconds since the trace began, "Level": 0..1 or -1, "State": 0..3
// or "unknown"/"unplugged"/"charging"/"full", "Status": the status dictionary},
// stored either as a property list (an array of such dictionaries, or a
// dictionary holding it under "Samples") or as JSON lines (one JSON object per
// line; blank lines and lines starting with '#' are skipped). A sample without
// Level or State takes them from its status; `simdevice record` writes this
// format.

#include <string>
#include <vector>

#include "host/device/battery_source.h"

namespace px::host::device {

struct TraceSample {
  double time = 0;
  BatterySample reading;
};

// Samples sorted by time; nothing (with a reason naming the line or entry) for
// a file that is missing, unreadable or has no usable sample.
platform::foundation::Result<std::vector<TraceSample>> read_trace(const std::string& host_path);

// The level and state a status dictionary implies, for samples that give none.
double level_from_status(const platform::foundation::Value& status);
int state_from_status(const platform::foundation::Value& status);

class TraceBattery : public BatterySource {
 public:
  TraceBattery(std::string path, std::vector<TraceSample> samples, double speed, bool loop);
  std::string description() const override { return "trace:" + m_path; }
  BatterySample sample(double elapsed_s, double now_unix) override;
  int poll_interval_ms() const override { return 250; }

 private:
  std::string m_path;
  std::vector<TraceSample> m_samples;
  double m_speed;
  bool m_loop;
};

}  // namespace px::host::device
