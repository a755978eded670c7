#include "platform/system/system_command.h"

#include <signal.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"

namespace sys {
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

int recorded_pid(std::string_view process_name) {
  auto file =
      foundation::read_whole_file(foundation::device_path("/var/run/" + std::string(process_name) + ".pid"), 64);
  if (!file.ok()) return 0;
  long pid = 0;
  for (char c : *file) {
    if (c == '\n') break;
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
    if (pid > 1 << 30) return 0;
  }
  return pid > 1 ? static_cast<int>(pid) : 0;
}

bool process_belongs_to_device(int pid) {
  const std::string& root = foundation::device_root();
  if (pid <= 1 || root.empty()) return false;
  auto env = foundation::read_whole_file("/proc/" + std::to_string(pid) + "/environ", 1 << 20);
  if (!env.ok()) return false;
  std::string wanted = "SIMDEVICE_ROOT=" + root;
  std::size_t start = 0;
  while (start < env->size()) {
    std::size_t end = env->find('\0', start);
    if (end == std::string::npos) end = env->size();
    if (std::string_view(*env).substr(start, end - start) == wanted) return true;
    start = end + 1;
  }
  return false;
}

int system(std::string_view command) {
  auto argv = words(command);
  if (argv.size() == 3 && argv[0] == "killall" && argv[1] == "-9" && argv[2] == "SpringBoard") {
    int pid = recorded_pid("SpringBoard");
    if (pid == 0 || !process_belongs_to_device(pid)) {
      foundation::log_line("No matching processes belonging to you were found");
      return 1;
    }
    return ::kill(pid, SIGKILL) == 0 ? 0 : 1;
  }
  foundation::log_line("system: not run: " + std::string(command));
  return 127;
}

utsname_fields uname() {
  utsname_fields u{"Darwin", "iPhone", "14.0.0", "Darwin Kernel Version 14.0.0", "iPhone6,1"};
  std::string root = foundation::device_root();
  if (!root.empty()) {
    auto info = foundation::plist::read_dictionary(root + "/System/Library/CoreServices/SystemVersion.plist");
    if (auto* s = info["ProductType"].string()) u.machine = *s;
  }
  return u;
}

}  // namespace sys
