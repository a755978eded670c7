// The SpringBoard process of the simulated device. The supervisor starts it
// with SIMDEVICE_ROOT set (or --root DIR); SIMDEVICE_SAFE_MODE=1 starts it
// without tweaks. It runs until SIGTERM or SIGINT.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/common/process_start.h"
#include "host/common/screen_state.h"
#include "host/springboard/springboard_host.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"

int main(int argc, char** argv) {
  px::host::common::ProcessArgs args = px::host::common::parse_process_args(argc, argv);
  if (!args.rest.empty()) {
    std::fprintf(stderr, "usage: SpringBoard [--root DIR] [--foreground]\n");
    return 2;
  }
  if (!px::host::common::start_device_process("SpringBoard", "com.apple.springboard", args.foreground)) return 2;

  const char* safe = std::getenv("SIMDEVICE_SAFE_MODE");
  px::host::springboard::HostOptions options;
  options.safe_mode = safe && std::strcmp(safe, "1") == 0;
  px::host::springboard::SpringBoardHost host(options);
  host.launch();
  // What SpringBoard shows (lock, status bar, alerts, banner) for readers outside it.
  px::host::common::publish_screen_state("SpringBoard", [&host] { return host.status_json(); });
  px::platform::foundation::RunLoop::main().run();
  px::platform::foundation::log_line("SpringBoard: exiting");
  return 0;
}
