#pragma once
// The device's hardware switches, one small property list each under
// /var/run/hardware/ ({"Value": ...}), so that the state can be read from
// outside the process that changed it: wifi, bluetooth, airplane, location
// (booleans), brightness (real), vibrations (count).

#include <string_view>

#include "platform/foundation/value.h"

namespace px::platform::sim {

// The value of a switch's entry ("wifi": /var/run/hardware/wifi.plist).
foundation::Value hardware_value(std::string_view name);
// Writes atomically; false when the device has no root or the write failed.
bool set_hardware_value(std::string_view name, const foundation::Value& value);

// The battery entry the battery driver owns: /var/run/hardware/battery.plist,
// {"Level": real (0..1, or -1 when unknown), "State": integer (0 unknown,
//  1 unplugged, 2 charging, 3 full), "Status": the status dictionary SpringBoard
//  broadcasts (absent: the broadcast carries none), "Generation": integer}.
inline constexpr const char* kHardwareFolder = "/var/run/hardware";
inline constexpr const char* kBatteryEntryName = "battery.plist";
inline constexpr const char* kBatteryEntry = "/var/run/hardware/battery.plist";
// Read once per change of the file however often it is asked for (the main
// thread's callers only: SpringBoard, UIDevice, the CLI).
foundation::Value battery_entry();

}  // namespace px::platform::sim
