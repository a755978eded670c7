#include "host/common/process_start.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/sim/device_paths.h"

namespace px::host::common {

ProcessArgs parse_process_args(int argc, char** argv) {
  ProcessArgs out;
  out.foreground = ::isatty(2);
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--root" && i + 1 < argc) {
      platform::sim::set_device_root(argv[++i]);
    } else if (a == "--foreground") {
      out.foreground = true;
    } else {
      out.rest.push_back(std::move(a));
    }
  }
  return out;
}

bool start_device_process(const std::string& name, const std::string& defaults_domain, bool foreground) {
  if (platform::sim::device_root().empty()) {
    std::fprintf(stderr, "%s: no device root (set SIMDEVICE_ROOT or pass --root)\n", name.c_str());
    return false;
  }
  platform::foundation::set_process_name(name);
  platform::foundation::set_log_to_stderr(foreground);
  platform::foundation::NSUserDefaults::set_standard_domain(defaults_domain);

  // The signals arrive as a descriptor on the run loop, so the process stops
  // between two pieces of work, never inside one.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  int sfd = ::signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (sfd >= 0) platform::foundation::RunLoop::main().add_fd(sfd, [] { platform::foundation::RunLoop::main().stop(); });
  return true;
}

}  // namespace px::host::common
