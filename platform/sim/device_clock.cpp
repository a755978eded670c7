#include "platform/sim/device_clock.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <mutex>
#include <string>

#include "platform/sim/atomic_write.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/file_identity.h"
#include "platform/sim/open_in_root.h"

namespace px::platform::sim {
namespace {

constexpr std::string_view kClockFile = "/var/run/clock.plist";

std::function<double()> g_machine_clock;

double machine_now() {
  if (g_machine_clock) return g_machine_clock();
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}

// device time = anchor + offset + (machine time - anchor) × rate. With the
// rate at 1 the anchor cancels out, and a file without Rate and Anchor (an
// older device) reads as a plain offset.
struct Clock {
  double offset = 0;
  double anchor = 0;
  double rate = 1;
};

double now_on(const Clock& c, double machine) { return c.anchor + c.offset + (machine - c.anchor) * c.rate; }

// The clock file is a few hundred bytes of XML; anything larger, or binary
// (whose shared objects libplist would copy at every reference), is not one
// this device wrote, and reads as no file.
constexpr std::size_t kMaxClockFileBytes = 4096;

// A number of the file's dictionary: a real, an integer or a boolean; 0 for
// anything else or nothing.
double number_in(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  switch (node ? plist_get_node_type(node) : PLIST_NONE) {
    case PLIST_REAL: {
      double v = 0;
      plist_get_real_val(node, &v);
      return v;
    }
    case PLIST_UINT: {
      uint64_t v = 0;
      plist_get_uint_val(node, &v);
      return static_cast<double>(static_cast<int64_t>(v));
    }
    case PLIST_BOOLEAN: {
      uint8_t v = 0;
      plist_get_bool_val(node, &v);
      return v ? 1 : 0;
    }
    default:
      return 0;
  }
}

Clock clock_of(std::string_view bytes) {
  Clock c;
  if (bytes.empty() || bytes.size() > kMaxClockFileBytes || bytes.substr(0, 6) == "bplist") return c;
  plist_t root = nullptr;
  plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  if (!root) return c;
  if (plist_get_node_type(root) == PLIST_DICT) {
    c.offset = number_in(root, "Offset");
    c.anchor = number_in(root, "Anchor");
    double rate = number_in(root, "Rate");
    c.rate = std::isfinite(rate) && rate > 0 ? rate : 1;
    if (!std::isfinite(c.offset) || !std::isfinite(c.anchor)) c = Clock{};
  }
  plist_free(root);
  return c;
}

// The bytes of an open file, up to one more than a clock file may have.
std::string contents_of(int fd) {
  std::string bytes(kMaxClockFileBytes + 1, '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// The file as the clock writes it: XML, its keys in order.
std::string contents_for(const Clock& c) {
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, "Anchor", plist_new_real(c.anchor));
  plist_dict_set_item(dict, "Offset", plist_new_real(c.offset));
  plist_dict_set_item(dict, "Rate", plist_new_real(c.rate));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(dict, &xml, &length);
  std::string bytes = xml ? std::string(xml, length) : std::string();
  plist_to_xml_free(xml);
  plist_free(dict);
  return bytes;
}

// Opens the clock file inside the root, never through a link in its place.
int open_clock_file(const std::string& host_path) {
  int fd = open_in_device_root(DevicePath(kClockFile), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0 && errno == ENOSYS) fd = ::open(host_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  return fd;
}

std::function<void()>& clock_set_hook() {
  static std::function<void()> hook;
  return hook;
}

// Which clock file a process read. The file is only ever replaced whole
// (renamed over), and the one read is kept open, so its inode cannot be
// handed to a later file: a file with the same identity is the same file.
using Identity = FileIdentity;

// The clock as this process last read it. Readers on several threads (the
// web server's) share it, hence the lock.
struct State {
  std::mutex mutex;
  bool loaded = false;
  std::string root;  // the device root `path` belongs to
  std::string path;  // host path of the clock file; empty without a device
  Identity identity;
  int held = -1;  // the file read, kept open (see Identity)
  Clock clock;
};

State& state() {
  static State s;
  return s;
}

void load(State& s) {
  s.loaded = true;
  if (s.root != device_root() || s.path.empty()) {
    s.root = device_root();
    s.path = s.root.empty() ? std::string() : DevicePath(kClockFile).host();
  }
  if (s.held >= 0) ::close(s.held);
  s.held = -1;
  s.identity = {};
  s.clock = {};
  if (s.path.empty()) {
    s.identity.kind = Identity::Kind::absent;
    return;
  }
  // A writer may replace the file between the open and the read: the read
  // counts only when the file opened is still the one at the path after it.
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = open_clock_file(s.path);
    struct stat opened {};
    if (fd < 0 || ::fstat(fd, &opened) != 0) {
      if (fd >= 0) ::close(fd);
      s.identity = Identity::at(s.path);  // absent: real time until a set writes one
      return;
    }
    Clock read = S_ISREG(opened.st_mode) ? clock_of(contents_of(fd)) : Clock{};
    Identity now = Identity::at(s.path);
    s.clock = read;
    if (now.same_as(Identity::of(opened))) {
      s.identity = now;
      s.held = fd;
      return;
    }
    ::close(fd);
  }
  // Replaced under every attempt: the last reading serves, checked again next time.
}

void refresh(State& s) {
  if (!s.loaded || s.root != device_root() || (!s.path.empty() && !s.identity.same_as(Identity::at(s.path)))) load(s);
}

// Writes the clock for every process and reads it back; false when it could not be written.
bool save(State& s, const Clock& c) {
  if (device_root().empty()) {
    s.clock = c;  // no device: this process's clock is the only one
    return true;
  }
  bool written = write_file_atomically(s.path, contents_for(c));
  load(s);
  return written;
}

// Every process of the device learns of a set the way the platform tells it.
void announce() {
  if (!device_root().empty() && clock_set_hook()) clock_set_hook()();
}

}  // namespace

void reload_device_clock() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.path.clear();
  load(s);
}

double device_now() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  refresh(s);
  return now_on(s.clock, machine_now());
}

bool set_device_now(double unix_seconds) {
  if (!std::isfinite(unix_seconds)) return false;
  State& s = state();
  bool written;
  {
    std::lock_guard lock(s.mutex);
    refresh(s);
    double machine = machine_now();
    Clock c = s.clock;
    c.anchor = machine;
    c.offset = unix_seconds - machine;
    written = save(s, c);
  }
  if (written) announce();
  return written;
}

bool set_device_clock_rate(double rate) {
  if (!std::isfinite(rate) || rate <= 0) return false;
  State& s = state();
  bool written;
  {
    std::lock_guard lock(s.mutex);
    refresh(s);
    double machine = machine_now();
    double now = now_on(s.clock, machine);
    written = save(s, Clock{now - machine, machine, rate});
  }
  if (written) announce();
  return written;
}

double device_clock_rate() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  refresh(s);
  return s.clock.rate;
}

void set_machine_clock_for_testing(std::function<double()> now) { g_machine_clock = std::move(now); }

void on_device_clock_set(std::function<void()> announce) { clock_set_hook() = std::move(announce); }

}  // namespace px::platform::sim
