#include "platform/system/hardware_state.h"

#include "platform/foundation/device_paths.h"
#include "platform/foundation/property_list.h"

namespace hardware {
namespace {
std::string file_of(std::string_view name) {
  return foundation::device_path("/var/run/hardware/" + std::string(name) + ".plist");
}
}  // namespace

foundation::Value get(std::string_view name) { return foundation::plist::read_dictionary(file_of(name))["Value"]; }

bool set(std::string_view name, const foundation::Value& value) {
  if (foundation::device_root().empty()) return false;
  return foundation::plist::write_file(file_of(name), foundation::Value(foundation::Dictionary{{"Value", value}}),
                                       foundation::plist::Format::xml);
}

foundation::Value battery_entry() {
  return foundation::plist::read_device_dictionary(kBatteryEntry);
}

}  // namespace hardware
