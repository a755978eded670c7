#include "platform/foundation/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

FileContents read_whole_file(const std::string& host_path, std::size_t limit) {
  FileContents out;
  int fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    out.failure = errno == ENOENT || errno == ENOTDIR ? ReadFailure::missing : ReadFailure::unreadable;
    return out;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    out.failure = ReadFailure::unreadable;
    return out;
  }
  if (static_cast<std::size_t>(st.st_size) > limit) {
    ::close(fd);
    out.failure = ReadFailure::too_large;
    return out;
  }
  out.bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (true) {
    if (got == out.bytes.size()) out.bytes.resize(got + 4096);  // the file may have grown
    ssize_t n = ::read(fd, out.bytes.data() + got, out.bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      out.bytes.clear();
      out.failure = ReadFailure::unreadable;
      return out;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
    if (got > limit) {
      ::close(fd);
      out.bytes.clear();
      out.failure = ReadFailure::too_large;
      return out;
    }
  }
  out.bytes.resize(got);
  ::close(fd);
  return out;
}

bool write_file_atomically(const std::string& host_path, std::string_view bytes) {
  std::string folder = ".";
  std::string name = host_path;
  if (auto slash = host_path.rfind('/'); slash != std::string::npos) {
    folder = slash == 0 ? "/" : host_path.substr(0, slash);
    name = host_path.substr(slash + 1);
  }
  if (name.empty()) return false;
  std::string temp = folder + "/." + name + ".tmp-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
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
