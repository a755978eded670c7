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
  px::host::common::ProcessArgs args = px::host::common::parse_process_args(argc, argv);
  std::string open_url;
  for (std::size_t i = 0; i < args.rest.size(); ++i) {
    if (args.rest[i] == "--open" && i + 1 < args.rest.size()) {
      open_url = args.rest[++i];
    } else {
      std::fprintf(stderr, "usage: Preferences [--root DIR] [--open URL] [--foreground]\n");
      return 2;
    }
  }
  if (!px::host::common::start_device_process("Preferences", "com.apple.Preferences", args.foreground)) return 2;

  px::host::settings::SettingsApp app;
  if (!open_url.empty())
    if (auto error = app.open_url(open_url)) px::platform::foundation::log_line("Preferences: " + *error);
  px::host::common::ControlServer server(px::host::common::control_socket_path("Preferences"),
                                         [&app](const std::vector<std::string>& args) { return app.handle(args); });
  if (!server.listening()) {
    std::fprintf(stderr, "Preferences: cannot listen on %s\n",
                 px::host::common::control_socket_path("Preferences").c_str());
    return 1;
  }
  // What the app shows (its pane, sheets, alerts) for readers outside it.
  px::host::common::publish_screen_state("Preferences", [&app] {
    nlohmann::json screen = app.status_json();
    screen["screen"] = app.show_json();
    return px::host::common::json_text(screen);
  });
  px::platform::foundation::RunLoop::main().run();
  px::platform::foundation::NSUserDefaults::standardUserDefaults().synchronize();
  px::platform::foundation::log_line("Preferences: exiting");
  return 0;
}
