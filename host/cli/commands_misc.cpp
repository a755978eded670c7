// Commands that read the device or hand a request to one of its processes.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "host/cli/commands.h"
#include "host/cli/device_status.h"
#include "host/cli/screen.h"
#include "host/common/control_channel.h"
#include "host/common/device_processes.h"
#include "host/device/clock_text.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/device_clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"

#ifndef PX_SOURCE_DIR
#define PX_SOURCE_DIR "."
#endif

namespace cli {
namespace {
volatile sig_atomic_t g_stop_watch = 0;

void print_reply(const host::Reply& reply) {
  if (!reply.out.empty()) std::cout << reply.out << (reply.out.back() == '\n' ? "" : "\n");
  if (!reply.err.empty()) std::cerr << reply.err << (reply.err.back() == '\n' ? "" : "\n");
}
}  // namespace

int forward(const std::string& process, const Args& request, const std::string& hint) {
  auto reply = host::control_request(host::control_socket_path(process), request, 30000);
  if (!reply) {
    std::cerr << "simdevice: " << hint << "\n";
    return 1;
  }
  print_reply(*reply);
  return reply->status;
}

int forward_to_springboard(const std::string& command, const Args& args) {
  Args request{command};
  request.insert(request.end(), args.begin(), args.end());
  return forward("SpringBoard", request, "SpringBoard is not running (simdevice boot)");
}

int cmd_post(const Args& args) {
  if (args.size() != 1) {
    std::cerr << "usage: simdevice post NAME\n";
    return 2;
  }
  if (!foundation::darwin::post(args[0])) {
    std::cerr << "simdevice: could not post " << args[0] << "\n";
    return 1;
  }
  std::cout << "Posted " << args[0] << "\n";
  return 0;
}

int cmd_log(const Args& args) {
  long n = -1;
  if (args.size() == 2 && args[0] == "-n") {
    n = std::atol(args[1].c_str());
  } else if (!args.empty()) {
    std::cerr << "usage: simdevice log [-n N]\n";
    return 2;
  }
  auto c = foundation::read_whole_file(foundation::device_path("/var/log/syslog"), 256u << 20);
  if (!c.ok()) return 0;
  std::string& text = c.bytes;
  std::size_t at = 0;
  if (n >= 0) {
    at = text.size();
    if (at && text[at - 1] == '\n') --at;
    long lines = n;
    while (lines > 0 && at > 0) {
      auto nl = text.rfind('\n', at - 1);
      if (nl == std::string::npos) {
        at = 0;
        break;
      }
      at = nl;
      --lines;
    }
    if (lines == 0 && at < text.size() && text[at] == '\n') ++at;
    if (n == 0) at = text.size();
  }
  std::cout << text.substr(at);
  return 0;
}

int cmd_status(const Args& args) {
  bool json = args.size() == 1 && args[0] == "--json";
  if (!args.empty() && !json) {
    std::cerr << "usage: simdevice status [--json]\n";
    return 2;
  }
  auto s = compose_device_status();
  if (json)
    std::cout << s.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  else
    std::cout << describe_device_status(s);
  return 0;
}

int cmd_clock(const Args& args) {
  if (args.size() != 1) {
    std::cerr << "usage: simdevice clock TIME   (HH:MM, \"YYYY-MM-DD HH:MM[:SS]\" or Unix seconds)\n";
    return 2;
  }
  if (host::running_device_process("SpringBoard")) return forward_to_springboard("clock", args);
  // With no SpringBoard the clock file is the whole of the device's time.
  auto t = device::parse_clock_time(args[0], foundation::device_now());
  if (!t) {
    std::cerr << "simdevice: bad time '" << args[0] << "'\n";
    return 2;
  }
  foundation::set_device_now(*t);
  std::cout << "Device clock set\n";
  return 0;
}

int cmd_settings(const Args& args) {
  if (args.empty()) {
    std::cerr << "usage: simdevice settings open URL | show [--json] | tap ROW | set ROW VALUE | back |\n"
                 "                         alerts [--json] | press INDEX|TITLE | close\n";
    return 2;
  }
  if (args[0] == "open") {
    if (args.size() != 2) {
      std::cerr << "usage: simdevice settings open URL   (e.g. prefs:root=PylonexPro2)\n";
      return 2;
    }
    return forward("launchd", {"open-settings", args[1]}, "the device is not running (simdevice boot)");
  }
  if (!host::running_device_process("Preferences")) {
    std::cerr << "simdevice: the Settings app is not open (simdevice settings open prefs:root=PylonexPro2)\n";
    return 1;
  }
  return forward("Preferences", args, "the Settings app does not answer");
}

int cmd_watch(const Args& args) {
  bool once = args.size() == 1 && args[0] == "--once";
  if (!args.empty() && !once) {
    std::cerr << "usage: simdevice watch [--once]\n";
    return 2;
  }
  auto frame = [] {
    auto s = compose_device_status();
    nlohmann::json pane;
    if (s["settings"]["pid"].is_number()) {
      auto reply = host::control_request(host::control_socket_path("Preferences"), {"show", "--json"}, 2000);
      if (reply && reply->status == 0) pane = nlohmann::json::parse(reply->out, nullptr, false);
      if (pane.is_discarded()) pane = nullptr;
    }
    std::string text;
    for (auto& line : render_screen(s, pane)) text += line + "\n";
    return text;
  };
  if (once) {
    std::cout << frame();
    return 0;
  }
  ::signal(SIGINT, [](int) { g_stop_watch = 1; });
  ::signal(SIGTERM, [](int) { g_stop_watch = 1; });
  std::string shown;
  while (!g_stop_watch) {
    std::string next = frame();
    if (next != shown) {
      std::cout << "\x1b[H\x1b[2J" << next << "(Ctrl-C to stop)" << std::flush;
      shown = next;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  std::cout << "\n";
  return 0;
}

int cmd_demo(const Args& args) {
  std::string script = std::string(PX_SOURCE_DIR) + "/scripts/demo.sh";
  if (::access(script.c_str(), R_OK) != 0) {
    std::cerr << "simdevice: the demo script " << script << " is missing\n";
    return 1;
  }
  std::string self = host::own_exe_dir() + "/simdevice";
  ::setenv("SIMDEVICE", self.c_str(), 1);
  std::vector<char*> argv{const_cast<char*>("bash"), script.data()};
  std::vector<std::string> copy(args);
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execvp("bash", argv.data());
  std::perror("simdevice: bash");
  return 1;
}

}  // namespace cli
