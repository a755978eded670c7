// The SpringBoard process of the simulated device. The supervisor starts it
// with SIMDEVICE_ROOT set (or --root DIR); SIMDEVICE_SAFE_MODE=1 starts it
// without tweaks. It runs until SIGTERM or SIGINT.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/springboard/springboard_host.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"

int main(int argc, char** argv) {
  bool foreground = ::isatty(2);
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--root" && i + 1 < argc) {
      foundation::set_device_root(argv[++i]);
    } else if (a == "--foreground") {
      foreground = true;
    } else {
      std::fprintf(stderr, "usage: SpringBoard [--root DIR] [--foreground]\n");
      return 2;
    }
  }
  if (foundation::device_root().empty()) {
    std::fprintf(stderr, "SpringBoard: no device root (set SIMDEVICE_ROOT or pass --root)\n");
    return 2;
  }

  foundation::set_process_name("SpringBoard");
  foundation::set_log_to_stderr(foreground);
  foundation::NSUserDefaults::set_standard_domain("com.apple.springboard");

  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  int sfd = ::signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (sfd >= 0) foundation::RunLoop::main().add_fd(sfd, [] { foundation::RunLoop::main().stop(); });

  const char* safe = std::getenv("SIMDEVICE_SAFE_MODE");
  springboard::HostOptions options;
  options.safe_mode = safe && std::strcmp(safe, "1") == 0;
  springboard::SpringBoardHost host(options);
  host.launch();
  foundation::RunLoop::main().run();
  foundation::log_line("SpringBoard: exiting");
  return 0;
}
