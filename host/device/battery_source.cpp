#include "host/device/battery_source.h"

#include <cstdlib>

#include "host/device/sim_battery.h"
#include "host/device/sysfs_battery.h"
#include "host/device/trace_battery.h"

namespace px::host::device {
namespace {

// "FILE[,speed=N][,loop]": options are taken from the end so that a file
// name with a comma still works when it has none.
void split_trace_options(std::string& file, double& speed, bool& loop) {
  while (true) {
    auto comma = file.rfind(',');
    if (comma == std::string::npos) return;
    std::string option = file.substr(comma + 1);
    if (option == "loop") {
      loop = true;
    } else if (option.rfind("speed=", 0) == 0) {
      char* end = nullptr;
      double d = std::strtod(option.c_str() + 6, &end);
      if (*end != '\0' || !(d > 0)) return;
      speed = d;
    } else {
      return;
    }
    file.resize(comma);
  }
}

}  // namespace

platform::foundation::Result<std::unique_ptr<BatterySource>> make_battery_source(const std::string& source) {
  using platform::foundation::Errc;
  using platform::foundation::fail;
  auto colon = source.find(':');
  std::string kind = source.substr(0, colon);
  std::string rest = colon == std::string::npos ? "" : source.substr(colon + 1);
  if (kind == "sim") {
    auto options = parse_sim_options(rest);
    if (!options) return options.error();
    return std::unique_ptr<BatterySource>(std::make_unique<SimBattery>(*options));
  }
  if (kind == "trace") {
    if (rest.empty()) return fail(Errc::invalid, "trace battery: give the file, trace:FILE");
    double speed = 1;
    bool loop = false;
    split_trace_options(rest, speed, loop);
    auto samples = read_trace(rest);
    if (!samples) return samples.error();
    return std::unique_ptr<BatterySource>(std::make_unique<TraceBattery>(rest, std::move(*samples), speed, loop));
  }
  if (kind == "sysfs") {
    std::string dir = rest.empty() ? kPowerSupplyDir : rest;
    if (auto reading = read_sysfs_battery(dir, 0); !reading) return reading.error();
    return std::unique_ptr<BatterySource>(std::make_unique<SysfsBattery>(dir));
  }
  return fail(Errc::invalid, "unknown battery source '" + source + "' (sim[:OPTIONS], trace:FILE or sysfs[:DIR])");
}

}  // namespace px::host::device
