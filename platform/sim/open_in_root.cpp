#include "platform/sim/open_in_root.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/sim/device_paths.h"

namespace px::platform::sim {
namespace {

std::atomic<bool> g_kernel_lacks_openat2{false};

// The root folder stays open: every read starts from it. It is reopened when
// the root changes (tests make one per case), and when a path is missing and
// the folder turns out to have been replaced under the same name.
struct RootFolder {
  std::mutex mutex;
  std::string root;
  int fd = -1;
};
RootFolder& root_folder() {
  static RootFolder folder;
  return folder;
}

bool reopen(RootFolder& f, const std::string& root) {
  if (f.fd >= 0) ::close(f.fd);
  f.root = root;
  f.fd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return f.fd >= 0;
}

int openat2_in(int dirfd, const char* path, int flags) {
  open_how how{};
  how.flags = static_cast<unsigned long long>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
  int fd;
  do {
    fd = static_cast<int>(::syscall(SYS_openat2, dirfd, path, &how, sizeof how));
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Whether the open folder is no longer the one at the root's path (removed,
// or moved away and another made in its place).
bool root_replaced(int fd, const std::string& root) {
  struct stat open_folder {
  }, named{};
  if (::fstat(fd, &open_folder) != 0 || ::stat(root.c_str(), &named) != 0) return true;
  return open_folder.st_nlink == 0 || open_folder.st_dev != named.st_dev || open_folder.st_ino != named.st_ino;
}

bool under(std::string_view path, std::string_view folder) {
  return path.substr(0, folder.size()) == folder && (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

int open_in_device_root(const DevicePath& device_file, int flags) {
  const std::string& root = device_root();
  if (root.empty() || g_kernel_lacks_openat2) {
    errno = ENOSYS;
    return -1;
  }
  // Absolute paths start at the root with RESOLVE_IN_ROOT; an empty one names the root.
  std::string path = device_file.str().empty() ? std::string("/") : device_file.str();
  RootFolder& f = root_folder();
  std::lock_guard lock(f.mutex);
  if ((f.fd < 0 || f.root != root) && !reopen(f, root)) return -1;
  int fd = openat2_in(f.fd, path.c_str(), flags);
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR) && root_replaced(f.fd, root)) {
    if (!reopen(f, root)) return -1;
    fd = openat2_in(f.fd, path.c_str(), flags);
  }
  if (fd < 0 && (errno == ENOSYS || errno == EPERM || errno == E2BIG)) {
    // EPERM: a seccomp filter refusing the call, as some containers have.
    g_kernel_lacks_openat2 = true;
    errno = ENOSYS;
  }
  return fd;
}

int open_host_path_in_device_root(const std::string& host_path, int flags) {
  std::optional<DevicePath> device_file = device_root().empty() ? std::nullopt : device_path_of(host_path);
  if (!device_file) {
    errno = ENOSYS;
    return -1;
  }
  return open_in_device_root(*device_file, flags);
}

bool opened_outside_root(int fd, const std::string& host_path) {
  const std::string& root = device_root();
  if (root.empty() || !under(host_path, root)) return false;
  static thread_local std::string cached_root, real_root;
  if (cached_root != root) {
    char buf[PATH_MAX];
    if (!::realpath(root.c_str(), buf)) return true;
    cached_root = root;
    real_root = buf;
  }
  char opened[PATH_MAX];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t n = ::readlink(link.c_str(), opened, sizeof opened - 1);
  if (n <= 0) return true;
  opened[n] = 0;
  return !under(opened, real_root);
}

}  // namespace px::platform::sim
