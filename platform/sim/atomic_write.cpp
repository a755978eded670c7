#include "platform/sim/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>

#include "platform/sim/open_in_root.h"

namespace px::platform::sim {
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

}  // namespace px::platform::sim
