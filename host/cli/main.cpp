// simdevice: makes, boots and drives a simulated device.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "host/cli/commands.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"

namespace {

const char* kUsage = R"(usage: simdevice [--root DIR] COMMAND [ARGS]
  DIR defaults to $SIMDEVICE_ROOT, else ./device

device:    init [--fresh] | install PACKAGE | remove [PACKAGE]
           boot [--clock TIME] [--battery sim[:level=80,rate=-1.5/min,speed=60]|trace:FILE|sysfs[:DIR]]
           shutdown | respring | status [--json] | log [-n N] | watch [--once] | demo
battery:   battery [LEVEL] [--state unknown|unplugged|charging|full] [--set KEY=VALUE]... [--unset KEY]...
                   [--no-status] [--reset]
           plug | unplug | record FILE [--count N] [--seconds S]
SpringBoard: unlock | lock | activator NAME | alerts [--json] | press INDEX|TITLE [--alert N]
           tick [N] [--reset] | clock TIME | post NAME
Settings:  settings open URL | show [--json] | tap ROW | set ROW VALUE | back | alerts [--json]
           | press INDEX|TITLE | close
)";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string root;
  if (const char* env = std::getenv("SIMDEVICE_ROOT"); env && *env) root = env;
  std::size_t i = 0;
  while (i < args.size() && args[i].rfind("--", 0) == 0) {
    if (args[i] == "--root" && i + 1 < args.size()) {
      root = args[i + 1];
      i += 2;
    } else if (args[i].rfind("--root=", 0) == 0) {
      root = args[i].substr(7);
      ++i;
    } else if (args[i] == "--help") {
      std::cout << kUsage;
      return 0;
    } else {
      break;
    }
  }
  if (i >= args.size()) {
    std::cerr << kUsage;
    return 2;
  }
  if (root.empty()) root = "device";
  std::error_code ec;
  root = std::filesystem::weakly_canonical(std::filesystem::absolute(root), ec).string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  ::setenv("SIMDEVICE_ROOT", root.c_str(), 1);
  foundation::set_device_root(root);
  foundation::set_process_name("simdevice");

  std::string command = args[i];
  cli::Args rest(args.begin() + static_cast<long>(i) + 1, args.end());
  using namespace cli;
  if (command == "init") return cmd_init(rest);
  if (command == "install") return cmd_install(rest);
  if (command == "remove") return cmd_remove(rest);
  if (command == "boot") return cmd_boot(rest);
  if (command == "shutdown") return cmd_shutdown(rest);
  if (command == "battery") return cmd_battery(rest);
  if (command == "plug") return cmd_plug(true);
  if (command == "unplug") return cmd_plug(false);
  if (command == "post") return cmd_post(rest);
  if (command == "log") return cmd_log(rest);
  if (command == "status") return cmd_status(rest);
  if (command == "respring") return cmd_respring(rest);
  if (command == "record") return cmd_record(rest);
  if (command == "watch") return cmd_watch(rest);
  if (command == "settings") return cmd_settings(rest);
  if (command == "clock") return cmd_clock(rest);
  if (command == "demo") return cmd_demo(rest);
  if (command == "unlock" || command == "lock" || command == "activator" || command == "alerts" ||
      command == "press" || command == "tick")
    return forward_to_springboard(command, rest);
  if (command == "help") {
    std::cout << kUsage;
    return 0;
  }
  std::cerr << "simdevice: unknown command '" << command << "'\n" << kUsage;
  return 2;
}
