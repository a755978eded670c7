#include "host/common/device_processes.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace px::host::common {

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

}  // namespace px::host::common
