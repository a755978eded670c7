// The Settings app of the simulated device. The supervisor starts it with
// SIMDEVICE_ROOT set and --open URL; it serves its control socket until
// `close`, SIGTERM or SIGINT.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "host/common/control_channel.h"
#include "host/settings/settings_app.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"

int main(int argc, char** argv) {
  bool foreground = ::isatty(2);
  std::string open_url;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--open" && i + 1 < argc) {
      open_url = argv[++i];
    } else if (a == "--root" && i + 1 < argc) {
      foundation::set_device_root(argv[++i]);
    } else if (a == "--foreground") {
      foreground = true;
    } else {
      std::fprintf(stderr, "usage: Preferences [--root DIR] [--open URL] [--foreground]\n");
      return 2;
    }
  }
  if (foundation::device_root().empty()) {
    std::fprintf(stderr, "Preferences: no device root (set SIMDEVICE_ROOT or pass --root)\n");
    return 2;
  }
  foundation::set_process_name("Preferences");
  foundation::set_log_to_stderr(foreground);
  foundation::NSUserDefaults::set_standard_domain("com.apple.Preferences");

  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  int sfd = ::signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (sfd >= 0) foundation::RunLoop::main().add_fd(sfd, [] { foundation::RunLoop::main().stop(); });

  settings::SettingsApp app;
  if (!open_url.empty())
    if (auto error = app.open_url(open_url)) foundation::log_line("Preferences: " + *error);
  host::ControlServer server(host::control_socket_path("Preferences"),
                             [&app](const std::vector<std::string>& args) { return app.handle(args); });
  if (!server.listening()) {
    std::fprintf(stderr, "Preferences: cannot listen on %s\n", host::control_socket_path("Preferences").c_str());
    return 1;
  }
  foundation::RunLoop::main().run();
  foundation::NSUserDefaults::standardUserDefaults().synchronize();
  foundation::log_line("Preferences: exiting");
  return 0;
}
