#include "platform/system/hardware_state.h"

#include "platform/foundation/file_identity.h"

#include <sys/stat.h>

#include "platform/foundation/device_paths.h"
#include "platform/foundation/property_list.h"

namespace hardware {
namespace {
std::string file_of(std::string_view name) {
  return foundation::DevicePath("/var/run/hardware/" + std::string(name) + ".plist").host();
}
}  // namespace

foundation::Value get(std::string_view name) { return foundation::plist::read_dictionary(file_of(name))["Value"]; }

bool set(std::string_view name, const foundation::Value& value) {
  if (foundation::device_root().empty()) return false;
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
    foundation::FileIdentity identity;
    foundation::Value entry;
  };
  static Seen seen;
  struct stat st {};
  std::string path = foundation::DevicePath(kBatteryEntry).host();
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    seen = Seen{};
    return foundation::plist::read_device_dictionary(kBatteryEntry);
  }
  auto identity = foundation::FileIdentity::of(st);
  if (seen.root == foundation::device_root() && seen.identity.same_as(identity)) return seen.entry;
  seen = Seen{foundation::device_root(), identity, foundation::plist::read_device_dictionary(kBatteryEntry)};
  return seen.entry;
}

}  // namespace hardware
