#include <cmath>
#include <string>

#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "host/device/trace_battery.h"
#include "platform/sim/device_paths.h"

namespace px::fuzz {

void trace_reader(std::string_view bytes) {
  put_device_file("/var/tmp/fuzz.trace", bytes);
  auto samples = host::device::read_trace(platform::sim::DevicePath("/var/tmp/fuzz.trace").host());
  if (!samples) {
    require(!samples.message().empty(), "a refused trace says why");
    return;
  }
  require(!samples->empty(), "an accepted trace has samples");
  double last = -INFINITY;
  for (auto& s : *samples) {
    require(!(s.time < last), "samples are sorted by time");
    last = s.time;
  }
  // Replaying it must not fault either, across and past its end, looping or not.
  for (bool loop : {false, true}) {
    host::device::TraceBattery battery("fuzz.trace", *samples, 1.0, loop);
    for (double t : {0.0, 0.5, last, last + 1, 1e12, -1.0}) (void)battery.sample(t, 1.7e9);
  }
}

}  // namespace px::fuzz
