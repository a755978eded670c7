#pragma once
// Reads what the simulated battery's load model needs from the device: the
// hardware switches (/var/run/hardware/*.plist, written by Control Center and
// `simdevice hardware`) and whether the screen is on (SpringBoard's published
// state under /var/run/screen/). Each file is read again only when it changed
// (a stat per file per reading), so a battery sampled 50 times a second costs
// a few stats.

#include <sys/types.h>

#include <array>
#include <ctime>
#include <optional>
#include <string>

#include "host/device/power_model.h"
#include "platform/foundation/value.h"
#include "platform/sim/file_identity.h"

namespace px::host::device {

// The battery generation SpringBoard last said it handled (its published
// screen state); nothing while it publishes none. Read again only when the
// file changed.
std::optional<long long> springboard_handled_generation();

class PowerStateReader {
 public:
  // The state now; `usage` is the battery's own (what `simdevice usage` set).
  PowerState read(Usage usage);

  // A file's identity at its last read: whether it changed since.
  struct Watched {
    std::string path;
    platform::sim::FileIdentity identity;
    bool changed(const std::string& host_path);
  };

 private:
  // wifi, bluetooth, location, airplane, brightness, SpringBoard's screen.
  std::array<Watched, 6> m_files;
  PowerState m_last;
};

}  // namespace px::host::device
