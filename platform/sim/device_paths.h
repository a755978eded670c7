#pragma once
// Device paths: every absolute path the system names ("/User/Library/…") is a
// path on the device, resolved under the device root. The root is chosen when
// the device is made and reaches every device process through SIMDEVICE_ROOT.

#include <optional>
#include <string>
#include <string_view>

namespace px::platform::sim {

// The device root folder (absolute, no trailing slash); empty when none is set.
const std::string& device_root();
// Tests and the host set it explicitly; processes read SIMDEVICE_ROOT once.
void set_device_root(std::string root);

// A path as the device names it ("/User/Library/…"). It is a type of its own
// so that a device path is never opened as a host path, nor a host path
// resolved a second time under the root: host() and device_path_of() are the
// only ways from one to the other.
class DevicePath {
 public:
  explicit DevicePath(std::string_view path) : m_path(path) {}

  const std::string& str() const { return m_path; }

  // The host path under the root. Relative components never climb above the
  // root ("/../../etc" stays inside), and symbolic links inside the root are
  // followed as the device would follow them, their targets taken relative to
  // the root. Without a root the path is returned unchanged.
  std::string host() const;

  bool operator==(const DevicePath&) const = default;

 private:
  std::string m_path;
};

// The device path of a host path under the root, if it is under the root.
std::optional<DevicePath> device_path_of(std::string_view host_path);

}  // namespace px::platform::sim
