// launchd: the device supervisor. `simdevice boot` starts it in the background
// with SIMDEVICE_ROOT set; it runs until `simdevice shutdown`.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/common/device_layout.h"
#include "host/common/device_processes.h"
#include "host/device/battery_driver.h"
#include "host/device/power_state_reader.h"
#include "host/device/supervisor.h"
#include "platform/foundation/log.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/system/device_process.h"

int main(int argc, char** argv) {
  std::string source = "sim";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--battery") == 0 && i + 1 < argc) {
      source = argv[++i];
    } else {
      std::fprintf(stderr, "usage: launchd [--battery SOURCE]   (SIMDEVICE_ROOT names the device)\n");
      return 2;
    }
  }
  px::platform::foundation::set_process_name("launchd");
  px::platform::foundation::set_log_to_stderr(true);
  const std::string& root = px::platform::sim::device_root();
  if (root.empty()) {
    std::fprintf(stderr, "launchd: SIMDEVICE_ROOT is not set\n");
    return 2;
  }
  if (auto made = px::host::common::make_device_layout(root); !made) {
    std::fprintf(stderr, "launchd: %s\n", made.message().c_str());
    return 1;
  }
  if (auto other = px::platform::system::DeviceProcess("launchd").running(); other && *other != ::getpid()) {
    std::fprintf(stderr, "launchd: the device is already running (pid %d)\n", *other);
    return 1;
  }
  // A daemon holds no folder of the machine open; a crash dump lands in the device.
  if (::chdir(root.c_str()) != 0) return 1;
  auto made_source = px::host::device::make_battery_source(source);
  if (!made_source) {
    std::fprintf(stderr, "launchd: %s\n", made_source.message().c_str());
    return 1;
  }
  std::unique_ptr<px::host::device::BatterySource> battery_source = std::move(made_source).value();
  // The device lives at the battery's speed while it runs, and in real time again after.
  px::platform::sim::set_device_clock_rate(battery_source->time_scale());
  auto started = std::chrono::steady_clock::now();
  auto driver = std::make_unique<px::host::device::BatteryDriver>(
      std::move(battery_source),
      [started] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(); },
      [] { return px::platform::sim::device_now(); });
  driver->wait_for(px::host::device::springboard_handled_generation);
  px::host::device::Supervisor supervisor(px::host::common::device_bin_dir(), std::move(driver));
  int status = supervisor.run();
  px::platform::sim::set_device_clock_rate(1);
  return status;
}
