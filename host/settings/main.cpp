// The Settings app of the simulated device. The supervisor starts it with
// SIMDEVICE_ROOT set and --open URL; it serves its control socket until
// `close`, SIGTERM or SIGINT.

#include <cstdio>
#include <string>

#include "host/common/control_channel.h"
#include "host/common/process_start.h"
#include "host/common/screen_state.h"
#include "host/settings/settings_app.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"
#include "host/common/value_json.h"

int main(int argc, char** argv) {
  host::ProcessArgs args = host::parse_process_args(argc, argv);
  std::string open_url;
  for (std::size_t i = 0; i < args.rest.size(); ++i) {
    if (args.rest[i] == "--open" && i + 1 < args.rest.size()) {
      open_url = args.rest[++i];
    } else {
      std::fprintf(stderr, "usage: Preferences [--root DIR] [--open URL] [--foreground]\n");
      return 2;
    }
  }
  if (!host::start_device_process("Preferences", "com.apple.Preferences", args.foreground)) return 2;

  settings::SettingsApp app;
  if (!open_url.empty())
    if (auto error = app.open_url(open_url)) foundation::log_line("Preferences: " + *error);
  host::ControlServer server(host::control_socket_path("Preferences"),
                             [&app](const std::vector<std::string>& args) { return app.handle(args); });
  if (!server.listening()) {
    std::fprintf(stderr, "Preferences: cannot listen on %s\n", host::control_socket_path("Preferences").c_str());
    return 1;
  }
  // What the app shows (its pane, sheets, alerts) for readers outside it.
  host::publish_screen_state("Preferences", [&app] {
    nlohmann::json screen = app.status_json();
    screen["screen"] = app.show_json();
    return host::json_text(screen);
  });
  foundation::RunLoop::main().run();
  foundation::NSUserDefaults::standardUserDefaults().synchronize();
  foundation::log_line("Preferences: exiting");
  return 0;
}
