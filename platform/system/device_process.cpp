#include "platform/system/device_process.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/foundation/file_io.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/device_paths.h"

namespace px::platform::system {
namespace {

// The state letter of /proc/<pid>/stat, after the command name in parentheses
// (which may itself hold parentheses and spaces).
char process_state(pid_t pid) {
  auto stat = foundation::read_whole_file("/proc/" + std::to_string(pid) + "/stat", 4096);
  if (!stat.ok()) return 0;
  auto close = stat->rfind(')');
  if (close == std::string::npos || close + 2 >= stat->size()) return 0;
  return (*stat)[close + 2];
}

bool names_root(std::string_view entry, const std::string& wanted) {
  if (entry == wanted) return true;
  return entry.size() == wanted.size() + 1 && entry.substr(0, wanted.size()) == wanted && entry.back() == '/';
}

}  // namespace

std::string DeviceProcess::pid_file() const { return sim::DevicePath("/var/run/" + m_name + ".pid").host(); }

std::optional<pid_t> DeviceProcess::recorded() const {
  auto file = foundation::read_whole_file(pid_file(), 64);
  if (!file.ok()) return std::nullopt;
  long pid = 0;
  std::size_t i = 0;
  for (; i < file->size() && (*file)[i] != '\n'; ++i) {
    char c = (*file)[i];
    if (c < '0' || c > '9') return std::nullopt;
    pid = pid * 10 + (c - '0');
    if (pid > 1 << 30) return std::nullopt;
  }
  if (i + 1 < file->size()) return std::nullopt;  // more than one line
  if (pid <= 1) return std::nullopt;
  return static_cast<pid_t>(pid);
}

bool DeviceProcess::record(pid_t pid) const {
  return sim::write_file_atomically(pid_file(), std::to_string(pid) + "\n");
}

void DeviceProcess::forget() const { ::unlink(pid_file().c_str()); }

std::optional<pid_t> DeviceProcess::running() const {
  auto pid = recorded();
  if (pid && belongs_to_device(*pid)) return pid;
  return std::nullopt;
}

bool DeviceProcess::belongs_to_device(pid_t pid) {
  const std::string& root = sim::device_root();
  if (pid <= 1 || root.empty()) return false;
  if (::kill(pid, 0) != 0 && errno != EPERM) return false;
  char state = process_state(pid);
  if (state == 0 || state == 'Z' || state == 'X') return false;
  auto env = foundation::read_whole_file("/proc/" + std::to_string(pid) + "/environ", 1 << 20);
  if (!env.ok()) return false;
  std::string wanted = "SIMDEVICE_ROOT=" + root;
  std::size_t start = 0;
  while (start < env->size()) {
    std::size_t end = env->find('\0', start);
    if (end == std::string::npos) end = env->size();
    if (names_root(std::string_view(*env).substr(start, end - start), wanted)) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace px::platform::system
