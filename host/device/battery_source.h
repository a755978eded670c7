#pragma once
// Where the battery driver's readings come from: the simulated battery, a
// recorded trace, or the machine's own battery through sysfs.

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/result.h"
#include "platform/foundation/value.h"

namespace px::host::device {

struct BatterySample {
  double level = -1;                   // 0..1, -1 when unknown
  int state = 0;                       // BatteryState
  platform::foundation::Value status;  // the status dictionary; nothing: the source has none
};

class BatterySource {
 public:
  virtual ~BatterySource() = default;
  // "sim", "trace:FILE", "sysfs:DIR" — as `status` reports it.
  virtual std::string description() const = 0;
  // The reading at `elapsed_s` seconds of machine time since the source started,
  // the device's wall clock being `now_unix`.
  virtual BatterySample sample(double elapsed_s, double now_unix) = 0;
  // A level or state given by hand. Sources that model a battery take it as
  // their new starting point and answer true; others answer false and the
  // driver keeps it on top of their readings.
  virtual bool take_level(double level, double elapsed_s) { return false; }
  virtual bool take_state(int state, double elapsed_s) { return false; }
  // Connects or removes a charger; false with a reason when the source has none.
  virtual platform::foundation::Result<void> plug(bool connected, double elapsed_s) {
    return platform::foundation::fail(platform::foundation::Errc::invalid,
                                      "the " + description() + " battery has no charger to plug or unplug");
  }
  // The workload of a source that models the phone's load (`simdevice usage`);
  // others refuse with a reason.
  virtual platform::foundation::Result<void> set_usage(const std::string& name, double elapsed_s) {
    return platform::foundation::fail(platform::foundation::Errc::invalid,
                                      "the " + description() + " battery has no load to change");
  }
  // Its name, for `status`; nothing for sources without one.
  virtual std::optional<std::string> usage() const { return std::nullopt; }
  // How often the driver should sample, in milliseconds; 0 when the readings
  // change only on request.
  virtual int poll_interval_ms() const = 0;
  // Simulated seconds per machine second: while the source runs, the device
  // clock runs this fast too, so UpdateTime and the clock agree.
  virtual double time_scale() const { return 1; }
};

// Parses SOURCE ("sim[:OPTIONS]", "trace:FILE[,OPTIONS]", "sysfs[:DIR]"); a
// source that cannot work here (no such file, no battery) is refused with a
// message the user can act on.
platform::foundation::Result<std::unique_ptr<BatterySource>> make_battery_source(const std::string& source);

}  // namespace px::host::device
