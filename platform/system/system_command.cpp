#include "platform/system/system_command.h"

#include <signal.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"
#include "platform/system/device_process.h"

namespace px::platform::system {
namespace {

std::vector<std::string> words(std::string_view line) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : line) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!cur.empty()) out.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(std::move(cur));
  return out;
}

}  // namespace

int system(std::string_view command) {
  auto argv = words(command);
  if (argv.size() == 3 && argv[0] == "killall" && argv[1] == "-9" && argv[2] == "SpringBoard") {
    auto pid = DeviceProcess("SpringBoard").running();
    if (!pid) {
      foundation::log_line("No matching processes belonging to you were found");
      return 1;
    }
    return ::kill(*pid, SIGKILL) == 0 ? 0 : 1;
  }
  foundation::log_line("system: not run: " + std::string(command));
  return 127;
}

std::string machine_identifier() {
  // Without a root there is no device to ask, and the machine's own files are not the device's.
  if (sim::device_root().empty()) return kDefaultMachine;
  auto info = foundation::plist::read_device_dictionary(sim::DevicePath(kSystemVersionFile));
  if (auto* s = info["ProductType"].string()) return *s;
  return kDefaultMachine;
}

utsname_fields uname() { return {"Darwin", "iPhone", "14.0.0", "Darwin Kernel Version 14.0.0", machine_identifier()}; }

}  // namespace px::platform::system
