#pragma once
// Packages installed into a device root the way dpkg keeps them: the files
// copied into the root, their list in /var/lib/dpkg/info/<package>.list, the
// control file beside it. A staged tree (the build's stage folder) and a .deb
// install the same way.

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/result.h"

namespace px::host::cli {

inline constexpr const char* kDefaultPackage = "com.zelmoraq.pylonexpro2";
// The architecture of this machine's packages for the simulated device
// ("simdevice-amd64"): what `make package` writes and install takes, besides "all".
inline constexpr const char* kPackageArchitecture = PX_PACKAGE_ARCHITECTURE;

struct InstallResult {
  std::string package;
  std::size_t files = 0;
};

bool valid_package_name(const std::string& name);

// Copies a staged tree into the current device root. The package is named by
// the tree's DEBIAN/control, else `name`, else kDefaultPackage. Files an earlier
// version installed that this one lacks are removed.
platform::foundation::Result<InstallResult> install_tree(const std::string& tree, const std::string& name);
// Unpacks a .deb with dpkg-deb and installs its tree.
platform::foundation::Result<InstallResult> install_deb(const std::string& deb);
// Removes every file the package installed; the device layout itself stays.
platform::foundation::Result<void> remove_package(const std::string& name);
std::vector<std::string> installed_packages();

// "Package: x" and the like from a control file's text.
std::optional<std::string> control_field(const std::string& control, const std::string& field);

}  // namespace px::host::cli
