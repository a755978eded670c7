#include "host/common/device_processes.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"

namespace host {

std::string pid_file_path(const std::string& process) {
  return foundation::device_path("/var/run/" + process + ".pid");
}

std::optional<pid_t> read_pid_file(const std::string& process) {
  auto contents = foundation::read_whole_file(pid_file_path(process), 64);
  if (!contents.ok()) return std::nullopt;
  char* end = nullptr;
  long n = std::strtol(contents->c_str(), &end, 10);
  if (end == contents->c_str() || n <= 1 || n > INT_MAX) return std::nullopt;
  return static_cast<pid_t>(n);
}

bool write_pid_file(const std::string& process, pid_t pid) {
  return foundation::write_file_atomically(pid_file_path(process), std::to_string(pid) + "\n");
}

void remove_pid_file(const std::string& process) { ::unlink(pid_file_path(process).c_str()); }

bool is_device_process(pid_t pid) {
  if (pid <= 1) return false;
  if (::kill(pid, 0) != 0 && errno != EPERM) return false;
  std::string proc = "/proc/" + std::to_string(pid);
  {
    std::ifstream stat(proc + "/stat");
    std::string line;
    std::getline(stat, line);
    auto close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) return false;
    if (line[close + 2] == 'Z' || line[close + 2] == 'X') return false;
  }
  std::ifstream env(proc + "/environ", std::ios::binary);
  if (!env) return false;
  std::stringstream ss;
  ss << env.rdbuf();
  std::string all = ss.str();
  std::string wanted = "SIMDEVICE_ROOT=" + foundation::device_root();
  std::size_t pos = 0;
  while (pos < all.size()) {
    std::size_t end = all.find('\0', pos);
    if (end == std::string::npos) end = all.size();
    std::string_view entry(all.data() + pos, end - pos);
    if (entry == wanted) return true;
    // A trailing slash in the environment still names the same root.
    if (entry.size() == wanted.size() + 1 && entry.substr(0, wanted.size()) == wanted && entry.back() == '/')
      return true;
    pos = end + 1;
  }
  return false;
}

std::optional<pid_t> running_device_process(const std::string& process) {
  auto pid = read_pid_file(process);
  if (pid && is_device_process(*pid)) return pid;
  return std::nullopt;
}

std::string device_bin_dir() {
  if (const char* dir = std::getenv("SIMDEVICE_BIN_DIR"); dir && *dir) return dir;
  return own_exe_dir();
}

std::string own_exe_dir() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string exe(buf, static_cast<std::size_t>(n));
  auto slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

}  // namespace host
