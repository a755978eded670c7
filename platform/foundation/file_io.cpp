#include "platform/foundation/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <algorithm>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/open_in_root.h"

namespace foundation {
namespace {
std::atomic<bool> g_durable{true};

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}
}  // namespace

void set_durable_writes(bool on) { g_durable = on; }

namespace {

bool under(std::string_view path, std::string_view folder) {
  return path.substr(0, folder.size()) == folder && (path.size() == folder.size() || path[folder.size()] == '/');
}

// A link inside the device (one a package brought, say) must not make a
// reader or a writer reach a file of the machine: for a path under the device
// root, what was actually opened must be under the root too. Checked on the
// open descriptor, so the answer is about the file used, not a name.
bool opened_outside_root(int fd, const std::string& host_path) {
  const std::string& root = device_root();
  if (root.empty() || !under(host_path, root)) return false;  // a host path the user named
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

}  // namespace

namespace {

Error open_failure() {
  bool missing = errno == ENOENT || errno == ENOTDIR;
  return fail(missing ? Errc::missing : Errc::unreadable, missing ? "no such file" : std::strerror(errno));
}

// What fstat says of an open file before its bytes are taken; ok when they may be.
Result<void> refusal_of(int fd, std::size_t limit, const std::string* unchecked_host_path, std::size_t& size) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(Errc::unreadable, "not a regular file");
  if (unchecked_host_path && opened_outside_root(fd, *unchecked_host_path))
    return fail(Errc::unreadable, "leads out of the device");
  if (static_cast<std::size_t>(st.st_size) > limit) return fail(Errc::too_large, "larger than the reader takes");
  size = static_cast<std::size_t>(st.st_size);
  return {};
}

// Reads the whole of an open descriptor into `storage` and closes it.
// `host_path` is for the containment check, when the kernel has not already
// made it. On failure `storage` is left empty but keeps its capacity.
//
// Files the kernel opened inside the root are read before they are asked
// about: a file that fits the storage it is read into (the thread's recycled
// buffer, as big as the last file) comes in one call, and needs no fstat. Only
// an empty read (an empty file, or a FIFO: no regular file) or one that fills
// the storage asks for the type and the size. Opened without blocking, a
// device root's FIFO or socket cannot stall the reader.
Result<std::string> read_and_close(int fd, std::size_t limit, const std::string* unchecked_host_path,
                                   std::string& storage) {
  std::string& bytes = storage;
  bytes.clear();
  auto fail_with = [&](Error error) -> Result<std::string> {
    ::close(fd);
    bytes.clear();
    return error;
  };
  // Asks fstat once, when first needed.
  bool asked = false;
  std::size_t size = 0;
  auto ask = [&](const std::string* host_path) -> Result<void> {
    if (asked) return {};
    asked = true;
    return refusal_of(fd, limit, host_path, size);
  };
  if (unchecked_host_path) {
    if (auto asked_now = ask(unchecked_host_path); !asked_now) return fail_with(asked_now.error());
    // One byte more than the file, so that a short read tells the end without
    // another call, and a file that grew meanwhile still shows it.
    bytes.resize(size + 1);
  } else {
    bytes.resize(std::max<std::size_t>(bytes.capacity(), 4096));
  }
  std::size_t got = 0;
  while (true) {
    if (got == bytes.size()) {
      if (auto asked_now = ask(nullptr); !asked_now) return fail_with(asked_now.error());
      bytes.resize(std::max(got + 4096, size + 1));
    }
    std::size_t want = bytes.size() - got;
    ssize_t n = ::read(fd, bytes.data() + got, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail_with(fail(Errc::unreadable, std::strerror(errno)));
    got += static_cast<std::size_t>(n);
    if (got > limit) return fail_with(fail(Errc::too_large, "larger than the reader takes"));
    if (got == 0) {
      if (auto asked_now = ask(nullptr); !asked_now) return fail_with(asked_now.error());
    }
    // A regular file reads short only at its end.
    if (n == 0 || static_cast<std::size_t>(n) < want) break;
  }
  bytes.resize(got);
  ::close(fd);
  return std::move(bytes);
}

constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;

}  // namespace

Result<std::string> read_whole_file(const std::string& host_path, std::size_t limit, std::string&& storage) {
  int fd = open_host_path_in_device_root(host_path, kReadFlags);
  if (fd >= 0) return read_and_close(fd, limit, nullptr, storage);
  if (errno != ENOSYS) return open_failure();
  fd = ::open(host_path.c_str(), kReadFlags);
  if (fd < 0) return open_failure();
  return read_and_close(fd, limit, &host_path, storage);
}

Result<std::string> read_device_file(std::string_view device_file, std::size_t limit, std::string&& storage) {
  int fd = open_in_device_root(device_file, kReadFlags);
  if (fd >= 0) return read_and_close(fd, limit, nullptr, storage);
  if (errno != ENOSYS) return open_failure();
  return read_whole_file(DevicePath(device_file).host(), limit, std::move(storage));
}

Result<std::string> read_device_file_tail(std::string_view device_file, std::size_t max_bytes) {
  int fd = open_in_device_root(device_file, kReadFlags);
  std::string host_path;
  if (fd < 0 && errno == ENOSYS) {
    host_path = DevicePath(device_file).host();
    fd = ::open(host_path.c_str(), kReadFlags);
  }
  if (fd < 0) return open_failure();
  std::size_t size = 0;
  if (auto refused = refusal_of(fd, SIZE_MAX, host_path.empty() ? nullptr : &host_path, size); !refused) {
    ::close(fd);
    return refused.error();
  }
  off_t from = static_cast<off_t>(size > max_bytes ? size - max_bytes : 0);
  std::string bytes(std::min(size, max_bytes), '\0');
  std::size_t got = 0;
  // The file may be cut short while it is read: what was there is the tail.
  while (got < bytes.size()) {
    ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, from + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      ::close(fd);
      return fail(Errc::unreadable, std::strerror(error));
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  ::close(fd);
  return bytes;
}

namespace {

// Temporary files are named ".<name>.tmp-<pid>-XXXXXX" after the writer, so
// that the next writer of the same file can tell the leftovers of a writer
// that died between creating and renaming (SIGKILL, a crash) from the file a
// live writer is filling right now.
std::string temp_prefix(const std::string& name) { return "." + name + ".tmp-"; }

void remove_stale_temps(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  std::string prefix = temp_prefix(name);
  const pid_t self = ::getpid();
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(dir)) {
    std::string_view entry(e->d_name);
    if (entry.substr(0, prefix.size()) != prefix) continue;
    std::string_view rest = entry.substr(prefix.size());
    pid_t pid = 0;
    std::size_t i = 0;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && pid < 4194304; ++i) pid = pid * 10 + (rest[i] - '0');
    bool named_by_pid = i > 0 && i < rest.size() && rest[i] == '-';
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    // A writer takes well under a second; a temp this old is abandoned
    // whoever made it (old-style names, a reused pid).
    bool old = now - st.st_mtime > kStaleTempSeconds;
    bool writer_dead = named_by_pid && pid != self && ::kill(pid, 0) != 0 && errno == ESRCH;
    if (old || writer_dead) ::unlinkat(::dirfd(dir), e->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace

bool write_file_atomically(const std::string& host_path, std::string_view bytes) {
  std::string folder = ".";
  std::string name = host_path;
  if (auto slash = host_path.rfind('/'); slash != std::string::npos) {
    folder = slash == 0 ? "/" : host_path.substr(0, slash);
    name = host_path.substr(slash + 1);
  }
  if (name.empty()) return false;
  remove_stale_temps(folder, name);
  std::string temp = folder + "/" + temp_prefix(name) + std::to_string(::getpid()) + "-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  if (opened_outside_root(fd, host_path)) {  // the folder is a link out of the device
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  bool ok = write_all(fd, bytes);
  // Files written by writeToFile: are readable by every process of the device.
  ok = ok && ::fchmod(fd, 0644) == 0;
  if (ok && g_durable) ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), host_path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  if (g_durable) {
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }
  return true;
}

}  // namespace foundation
