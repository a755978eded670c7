#include "platform/foundation/device_clock.h"

#include <sys/time.h>

#include <cmath>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/property_list.h"

namespace foundation {
namespace {
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
Clock g_clock;
bool g_loaded = false;

std::string clock_file() { return device_path("/var/run/clock.plist"); }

double now_on(const Clock& c, double machine) { return c.anchor + c.offset + (machine - c.anchor) * c.rate; }

void load_once() {
  if (!g_loaded) reload_device_clock();
}

void save() {
  g_loaded = true;
  if (device_root().empty()) return;
  plist::write_file(
      clock_file(),
      Value(Dictionary{
          {"Offset", Value(g_clock.offset)}, {"Anchor", Value(g_clock.anchor)}, {"Rate", Value(g_clock.rate)}}),
      plist::Format::xml);
}
}  // namespace

void reload_device_clock() {
  g_loaded = true;
  Value file = plist::read_dictionary(clock_file());
  g_clock.offset = file["Offset"].doubleValue();
  g_clock.anchor = file["Anchor"].doubleValue();
  double rate = file["Rate"].doubleValue();
  g_clock.rate = std::isfinite(rate) && rate > 0 ? rate : 1;
}

double device_now() {
  load_once();
  return now_on(g_clock, machine_now());
}

void set_device_now(double unix_seconds) {
  load_once();
  double machine = machine_now();
  g_clock.anchor = machine;
  g_clock.offset = unix_seconds - machine;
  save();
}

void set_device_clock_rate(double rate) {
  if (!std::isfinite(rate) || rate <= 0) return;
  load_once();
  double machine = machine_now();
  double now = now_on(g_clock, machine);
  g_clock = Clock{now - machine, machine, rate};
  save();
}

double device_clock_rate() {
  load_once();
  return g_clock.rate;
}

void set_machine_clock_for_testing(std::function<double()> now) { g_machine_clock = std::move(now); }

}  // namespace foundation
