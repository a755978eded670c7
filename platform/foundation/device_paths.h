#pragma once
// Device paths: every absolute path the system names ("/User/Library/…") is a
// path on the device, resolved under the device root. The root is chosen when
// the device is made and reaches every device process through SIMDEVICE_ROOT.

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// The device root folder (absolute, no trailing slash); empty when none is set.
const std::string& device_root();
// Tests and the host set it explicitly; processes read SIMDEVICE_ROOT once.
void set_device_root(std::string root);

// Maps a device path to a host path under the root. Relative components never
// climb above the root ("/../../etc" stays inside), and symbolic links inside
// the root are followed as the device would follow them, their targets taken
// relative to the root. Without a root the path is returned unchanged.
std::string device_path(std::string_view path);

// The device path of a host path under the root, if it is under the root.
std::optional<std::string> device_path_of(std::string_view host_path);

}  // namespace foundation
