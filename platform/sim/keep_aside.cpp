#include "platform/sim/keep_aside.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/open_in_root.h"
#include "platform/sim/utc_text.h"

namespace px::platform::sim {
namespace {

// Enough for any burst of damaged files within one second; past it the
// folder is in a state no retry mends.
constexpr int kMaxCollisions = 1000;

int open_folder(const DevicePath& device_folder) {
  int fd = open_in_device_root(device_folder, O_PATH | O_DIRECTORY);
  if (fd < 0 && errno == ENOSYS) fd = ::open(device_folder.host().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd;
}

bool exists_at(int folder, const std::string& name) {
  struct stat st;
  return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// Renames without ever replacing what is at `to`: 0, or the errno.
int rename_no_replace(int folder, const std::string& from, const std::string& to) {
  if (::renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without RENAME_NOREPLACE: check, then rename. Only the
  // device's own processes write in its folders, one per file.
  if (exists_at(folder, to)) return EEXIST;
  return ::renameat(folder, from.c_str(), folder, to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::string aside_stamp(double unix_seconds) { return utc_text(unix_seconds, "%Y%m%dT%H%M%SZ"); }

Aside keep_aside(const DevicePath& device_path, std::string_view reason, const AsideOptions& options) {
  const std::string& device_file = device_path.str();
  auto slash = device_file.rfind('/');
  if (slash == std::string::npos || slash + 1 == device_file.size()) return {};
  std::string folder = slash == 0 ? "/" : device_file.substr(0, slash);
  std::string name = device_file.substr(slash + 1);

  int fd = open_folder(DevicePath(folder));
  if (fd < 0) return {};
  if (!exists_at(fd, name)) {
    ::close(fd);
    return {};
  }
  std::string base = name + "." + std::string(reason) + "-" + aside_stamp(options.at.value_or(device_now()));
  int error = EEXIST;
  for (int n = 1; n <= kMaxCollisions && error == EEXIST; ++n) {
    std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
    bool companion_name_taken = false;
    for (const char* suffix : options.companions) companion_name_taken |= exists_at(fd, aside + suffix);
    if (companion_name_taken) continue;
    error = rename_no_replace(fd, name, aside);
    if (error == 0) {
      // The companions follow; one that is absent (or went meanwhile) is no loss.
      for (const char* suffix : options.companions) rename_no_replace(fd, name + suffix, aside + suffix);
      ::close(fd);
      DevicePath moved((folder == "/" ? "" : folder) + "/" + aside);
      return {moved, device_file + " is " + std::string(reason) + ": kept aside as " + moved.str()};
    }
  }
  ::close(fd);
  return {std::nullopt,
          device_file + " is " + std::string(reason) + " and could not be kept aside: " + std::strerror(error)};
}

}  // namespace px::platform::sim
