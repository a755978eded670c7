#pragma once
// The machine's own battery, read from the kernel's power-supply class
// ("/sys/class/power_supply", or a folder laid out the same way). Each figure
// the kernel gives is mapped onto the registry key that means the same, in
// the registry's units (µAh → mAh, µV → mV, µA → mA, tenths of a degree →
// hundredths); keys the kernel has no counterpart for are left out.

#include <string>

#include "host/device/battery_source.h"

namespace px::host::device {

inline constexpr const char* kPowerSupplyDir = "/sys/class/power_supply";

// One reading of the first battery under `dir`, with the chargers' state;
// nothing (and a reason) when there is no battery there.
platform::foundation::Result<BatterySample> read_sysfs_battery(const std::string& dir, double now_unix);

class SysfsBattery : public BatterySource {
 public:
  explicit SysfsBattery(std::string dir) : m_dir(std::move(dir)) {}
  std::string description() const override { return "sysfs:" + m_dir; }
  BatterySample sample(double elapsed_s, double now_unix) override;
  int poll_interval_ms() const override { return 5000; }

 private:
  std::string m_dir;
  BatterySample m_last;
};

}  // namespace px::host::device
