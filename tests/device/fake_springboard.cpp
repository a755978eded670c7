// A stand-in SpringBoard for supervisor tests: answers `status` and `sync`
// with the battery generation it finds, and crashes on start while the device
// holds /var/run/fake-springboard-crash, unless it runs in safe mode.

#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "host/common/control_channel.h"
#include "host/common/value_json.h"
#include "platform/sim/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/hardware/hardware_state.h"

int main() {
  px::platform::foundation::set_process_name("SpringBoard");
  const char* safe_env = std::getenv("SIMDEVICE_SAFE_MODE");
  bool safe = safe_env && std::string(safe_env) == "1";
  if (!safe && ::access(px::platform::sim::DevicePath("/var/run/fake-springboard-crash").host().c_str(), F_OK) == 0)
    std::abort();
  px::host::common::ControlServer server(
      px::host::common::control_socket_path("SpringBoard"), [safe](const std::vector<std::string>& args) {
        long long generation = px::platform::sim::battery_entry()["Generation"].longLongValue();
        if (!args.empty() && args[0] == "sync") return px::host::common::Reply::ok(std::to_string(generation));
        if (!args.empty() && args[0] == "status") {
          nlohmann::json s = {{"pid", ::getpid()}, {"launched", true},           {"safe_mode", safe},
                              {"locked", true},    {"status_bar_time", "12:00"}, {"battery_generation", generation}};
          return px::host::common::Reply::ok(px::host::common::json_text(s));
        }
        return px::host::common::Reply::fail("fake SpringBoard: unknown command", 2);
      });
  px::platform::foundation::RunLoop::main().run();
}
