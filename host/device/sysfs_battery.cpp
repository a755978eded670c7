#include "host/device/sysfs_battery.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "host/common/on_off.h"
#include "host/device/battery_change.h"
#include "platform/foundation/file_io.h"

namespace px::host::device {
namespace {

namespace fs = std::filesystem;

// Attributes are read whole and non-blocking: a FIFO or a folder in place of
// an attribute reads as missing instead of hanging the driver.
std::optional<std::string> read_attr(const fs::path& supply, const char* name) {
  auto file = platform::foundation::read_whole_file((supply / name).string(), 4096);
  if (!file.ok()) return std::nullopt;
  std::string line = file->substr(0, file->find('\n'));
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

std::optional<long long> read_number(const fs::path& supply, const char* name) {
  auto text = read_attr(supply, name);
  if (!text || text->empty()) return std::nullopt;
  try {
    std::size_t used = 0;
    long long n = std::stoll(*text, &used);
    if (used != text->size()) return std::nullopt;
    return n;
  } catch (...) {
    return std::nullopt;
  }
}

// Rounds to an integer, saturating: kernel attributes are untrusted text and
// llround of a value beyond the 64-bit range has no defined result.
long long rounded(double v) {
  if (std::isnan(v)) return 0;
  return std::llround(std::clamp(v, -9.0e18, 9.0e18));
}

long long scaled(long long micro, double factor) { return rounded(static_cast<double>(micro) * factor); }

bool is_charger_type(const std::string& type) {
  return type == "Mains" || type.rfind("USB", 0) == 0 || type == "Wireless";
}

}  // namespace

platform::foundation::Result<BatterySample> read_sysfs_battery(const std::string& dir, double now_unix) {
  std::vector<fs::path> batteries, chargers;
  std::error_code ec;
  for (auto& entry : fs::directory_iterator(dir, ec)) {
    auto type = read_attr(entry.path(), "type").value_or("");
    if (type == "Battery") {
      if (read_number(entry.path(), "present").value_or(1) != 0) batteries.push_back(entry.path());
    } else if (is_charger_type(type)) {
      chargers.push_back(entry.path());
    }
  }
  if (batteries.empty()) {
    return platform::foundation::fail(
        platform::foundation::Errc::missing,
        "this machine has no battery under " + dir +
            " (no power supply of type Battery); boot with --battery sim or --battery trace:FILE "
            "instead");
  }
  std::sort(batteries.begin(), batteries.end());
  std::sort(chargers.begin(), chargers.end());
  const fs::path& bat = batteries.front();

  platform::foundation::Dictionary status;
  std::string kernel_status = read_attr(bat, "status").value_or("Unknown");
  bool charging = kernel_status == "Charging";
  bool full = kernel_status == "Full";

  // Capacities: charge_* in µAh, or energy_* in µWh turned into charge by the design voltage.
  auto capacity = [&](const char* charge, const char* energy) -> std::optional<long long> {
    if (auto c = read_number(bat, charge)) return scaled(*c, 1e-3);
    auto e = read_number(bat, energy);
    auto v = read_number(bat, "voltage_min_design");
    if (e && v && *v > 0) return rounded(static_cast<double>(*e) / static_cast<double>(*v) * 1000.0);
    return std::nullopt;
  };
  auto now = capacity("charge_now", "energy_now");
  auto max = capacity("charge_full", "energy_full");
  auto design = capacity("charge_full_design", "energy_full_design");
  if (now) {
    status["AppleRawCurrentCapacity"] = *now;
    status["CurrentCapacity"] = *now;
  }
  if (max) {
    status["AppleRawMaxCapacity"] = *max;
    status["MaxCapacity"] = *max;
  }
  if (design) status["DesignCapacity"] = *design;

  auto voltage = read_number(bat, "voltage_now");
  if (voltage) status["Voltage"] = scaled(*voltage, 1e-3);
  std::optional<long long> milliamps;
  if (auto current = read_number(bat, "current_now"))
    milliamps = rounded(std::fabs(static_cast<double>(*current)) * 1e-3);
  else if (auto power = read_number(bat, "power_now"); power && voltage && *voltage > 0)
    milliamps = rounded(std::fabs(static_cast<double>(*power)) / static_cast<double>(*voltage) * 1000.0);
  if (milliamps) {
    // The kernel's sign convention varies between drivers; the status says the direction.
    long long signed_ma = kernel_status == "Discharging" ? -*milliamps : *milliamps;
    status["Amperage"] = signed_ma;
    status["InstantAmperage"] = signed_ma;
  }
  if (auto temp = read_number(bat, "temp")) status["Temperature"] = rounded(static_cast<double>(*temp) * 10.0);
  if (auto cycles = read_number(bat, "cycle_count")) status["CycleCount"] = *cycles;
  if (auto serial = read_attr(bat, "serial_number"); serial && !serial->empty()) status["Serial"] = *serial;
  if (auto model = read_attr(bat, "model_name"); model && !model->empty()) status["Model"] = *model;
  if (auto maker = read_attr(bat, "manufacturer"); maker && !maker->empty()) status["Manufacturer"] = *maker;
  status["BatteryInstalled"] = true;
  status["IsCharging"] = charging;
  status["FullyCharged"] = full;
  status["UpdateTime"] = static_cast<long long>(std::llround(now_unix));

  std::optional<fs::path> adapter;
  for (auto& c : chargers)
    if (read_number(c, "online").value_or(0) == 1) {
      adapter = c;
      break;
    }
  bool connected = adapter.has_value() || (chargers.empty() && (charging || full));
  status["ExternalConnected"] = connected;
  status["ExternalChargeCapable"] = connected;
  if (adapter) {
    platform::foundation::Dictionary details;
    details["Description"] = common::lowercase(read_attr(*adapter, "type").value_or("mains"));
    auto amps = read_number(*adapter, "current_max");
    auto volts = read_number(*adapter, "voltage_max");
    if (amps) details["Amperage"] = scaled(*amps, 1e-3);
    if (volts) details["AdapterVoltage"] = scaled(*volts, 1e-3);
    if (amps && volts) details["Watts"] = rounded(static_cast<double>(*amps) * static_cast<double>(*volts) / 1e12);
    status["AdapterDetails"] = std::move(details);
  }

  BatterySample sample;
  if (auto pct = read_number(bat, "capacity"))
    sample.level = std::clamp(*pct, 0LL, 100LL) / 100.0;
  else if (now && max && *max > 0)
    sample.level = std::clamp(static_cast<double>(*now) / static_cast<double>(*max), 0.0, 1.0);
  else
    sample.level = -1;
  if (charging)
    sample.state = kStateCharging;
  else if (full)
    sample.state = kStateFull;
  else if (kernel_status == "Discharging" || kernel_status == "Not charging")
    sample.state = kStateUnplugged;
  else
    sample.state = kStateUnknown;
  sample.status = std::move(status);
  return sample;
}

BatterySample SysfsBattery::sample(double, double now_unix) {
  // A battery that vanishes while the device runs (a dock unplugged) keeps its last reading.
  if (auto s = read_sysfs_battery(m_dir, now_unix)) m_last = std::move(*s);
  return m_last;
}

}  // namespace px::host::device
