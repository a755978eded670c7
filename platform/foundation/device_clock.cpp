#include "platform/foundation/device_clock.h"

#include "platform/foundation/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cmath>
#include <mutex>
#include <string>

#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/property_list.h"

namespace foundation {
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

Clock clock_of(const Value& file) {
  Clock c;
  c.offset = file["Offset"].doubleValue();
  c.anchor = file["Anchor"].doubleValue();
  double rate = file["Rate"].doubleValue();
  c.rate = std::isfinite(rate) && rate > 0 ? rate : 1;
  if (!std::isfinite(c.offset) || !std::isfinite(c.anchor)) c = Clock{};
  return c;
}

// Which clock file a process read. The file is only ever replaced whole
// (renamed over), and the one read is kept open, so its inode cannot be
// handed to a later file: a file with the same identity is the same file.
using Identity = foundation::FileIdentity;

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
    int fd = ::open(s.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat opened {};
    if (fd < 0 || ::fstat(fd, &opened) != 0) {
      if (fd >= 0) ::close(fd);
      s.identity = Identity::at(s.path);  // absent: real time until a set writes one
      return;
    }
    Clock read = clock_of(plist::read_dictionary(s.path));
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
  bool written = plist::write_file(
      s.path, Value(Dictionary{{"Offset", Value(c.offset)}, {"Anchor", Value(c.anchor)}, {"Rate", Value(c.rate)}}),
      plist::Format::xml);
  load(s);
  return written;
}

// Every process of the device learns of a set the way the platform tells it.
void announce() {
  if (!device_root().empty()) darwin::post(kClockSetNotification);
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

}  // namespace foundation
