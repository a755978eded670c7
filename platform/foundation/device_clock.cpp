#include "platform/foundation/device_clock.h"

#include <sys/time.h>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/property_list.h"

namespace foundation {
namespace {
double machine_now() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}
double g_offset = 0;
bool g_loaded = false;
std::string clock_file() { return device_path("/var/run/clock.plist"); }
}  // namespace

void reload_device_clock() {
  g_loaded = true;
  g_offset = plist::read_dictionary(clock_file())["Offset"].doubleValue();
}

double device_now() {
  if (!g_loaded) reload_device_clock();
  return machine_now() + g_offset;
}

void set_device_now(double unix_seconds) {
  g_loaded = true;
  g_offset = unix_seconds - machine_now();
  if (!device_root().empty())
    plist::write_file(clock_file(), Value(Dictionary{{"Offset", Value(g_offset)}}), plist::Format::xml);
}

}  // namespace foundation
