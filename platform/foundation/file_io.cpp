#include "platform/foundation/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <algorithm>

#include "platform/sim/device_paths.h"
#include "platform/sim/open_in_root.h"

namespace px::platform::foundation {
namespace {

Error open_failure() {
  bool missing = errno == ENOENT || errno == ENOTDIR;
  return fail(missing ? Errc::missing : Errc::unreadable, missing ? "no such file" : std::strerror(errno));
}

// What fstat says of an open file before its bytes are taken; ok when they may be.
Result<void> refusal_of(int fd, std::size_t limit, const std::string* unchecked_host_path, std::size_t& size) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(Errc::unreadable, "not a regular file");
  if (unchecked_host_path && sim::opened_outside_root(fd, *unchecked_host_path))
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
  int fd = sim::open_host_path_in_device_root(host_path, kReadFlags);
  if (fd >= 0) return read_and_close(fd, limit, nullptr, storage);
  if (errno != ENOSYS) return open_failure();
  fd = ::open(host_path.c_str(), kReadFlags);
  if (fd < 0) return open_failure();
  return read_and_close(fd, limit, &host_path, storage);
}

Result<std::string> read_device_file(const sim::DevicePath& device_file, std::size_t limit, std::string&& storage) {
  int fd = sim::open_in_device_root(device_file, kReadFlags);
  if (fd >= 0) return read_and_close(fd, limit, nullptr, storage);
  if (errno != ENOSYS) return open_failure();
  return read_whole_file(device_file.host(), limit, std::move(storage));
}

Result<std::string> read_device_file_tail(const sim::DevicePath& device_file, std::size_t max_bytes) {
  int fd = sim::open_in_device_root(device_file, kReadFlags);
  std::string host_path;
  if (fd < 0 && errno == ENOSYS) {
    host_path = device_file.host();
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

}  // namespace px::platform::foundation
