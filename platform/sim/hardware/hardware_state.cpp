#include "platform/sim/hardware/hardware_state.h"

#include "platform/sim/file_identity.h"

#include <sys/stat.h>

#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"

namespace px::platform::sim {
namespace {
std::string file_of(std::string_view name) {
  return DevicePath("/var/run/hardware/" + std::string(name) + ".plist").host();
}
}  // namespace

foundation::Value hardware_value(std::string_view name) {
  return foundation::plist::read_dictionary(file_of(name))["Value"];
}

bool set_hardware_value(std::string_view name, const foundation::Value& value) {
  if (device_root().empty()) return false;
  return foundation::plist::write_file(file_of(name), foundation::Value(foundation::Dictionary{{"Value", value}}),
                                       foundation::plist::Format::xml);
}

foundation::Value battery_entry() {
  // Every reader in a process (SpringBoard's watcher, UIDevice, a sync) asks
  // for the entry on each change: it is read once per change. The driver
  // replaces the file atomically, so a change is a new file; what the file is
  // (device, inode, time, size) tells without reading it.
  struct Seen {
    std::string root;
    FileIdentity identity;
    foundation::Value entry;
  };
  static Seen seen;
  struct stat st {};
  const DevicePath entry(kBatteryEntry);
  std::string path = entry.host();
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    seen = Seen{};
    return foundation::plist::read_device_dictionary(entry);
  }
  auto identity = FileIdentity::of(st);
  if (seen.root == device_root() && seen.identity.same_as(identity)) return seen.entry;
  seen = Seen{device_root(), identity, foundation::plist::read_device_dictionary(entry)};
  return seen.entry;
}

}  // namespace px::platform::sim
