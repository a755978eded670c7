#include "host/common/device_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/foundation/property_list.h"
#include "platform/system/system_command.h"

namespace px::host::common {
namespace {
platform::foundation::Result<void> make_folder(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      return platform::foundation::fail(platform::foundation::Errc::io, part + ": " + std::strerror(errno));
  }
  return {};
}
}  // namespace

platform::foundation::Result<void> make_device_layout(const std::string& root) {
  static const char* folders[] = {
      "",
      "/Applications",
      "/Library/MobileSubstrate/DynamicLibraries",
      "/Library/PreferenceBundles",
      "/Library/PreferenceLoader/Preferences",
      "/System/Library/CoreServices",
      "/var/mobile/Library/Preferences",
      "/var/log",
      "/var/run/hardware",
      "/var/run/notify",
      "/var/lib/dpkg/info",
      "/tmp",
  };
  for (const char* f : folders)
    if (auto made = make_folder(root + f); !made) return made;
  std::string user = root + "/User";
  struct stat st {};
  if (::lstat(user.c_str(), &st) != 0 && ::symlink("var/mobile", user.c_str()) != 0) {
    return platform::foundation::fail(platform::foundation::Errc::io, user + ": " + std::strerror(errno));
  }
  std::string version = root + platform::system::kSystemVersionFile;
  if (::access(version.c_str(), F_OK) != 0) {
    platform::foundation::Value info(
        platform::foundation::Dictionary{{"ProductName", "iPhone OS"},
                                         {"ProductVersion", "8.1"},
                                         {"ProductBuildVersion", "12B411"},
                                         {"ProductType", platform::system::kDefaultMachine}});
    platform::foundation::plist::write_file(version, info, platform::foundation::plist::Format::xml);
  }
  return {};
}

}  // namespace px::host::common
