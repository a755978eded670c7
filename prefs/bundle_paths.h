#pragma once
// Where the bundle lives on the device, the battery data file's path, and the
// configuration values kept in the bundle's Info.plist.

#include <string>
#include <string_view>

namespace px::prefs {

inline constexpr const char* kBundleFolder = "/Library/PreferenceBundles/PylonexPro2Prefs.bundle";
inline constexpr const char* kLogoImage = "/Library/PreferenceBundles/PylonexPro2Prefs.bundle/PylonexPro2min.png";
inline constexpr const char* kLoveImage = "/Library/PreferenceBundles/PylonexPro2Prefs.bundle/love.png";
inline constexpr const char* kRespringImage = "/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Respring.png";

// The connectivity probe page, the upload host, the statistics site and the
// social web host. Read from the installed bundle's Info.plist on every use,
// so a device can point them elsewhere (a local server); the built-in value
// applies when the key is absent or not a string.
std::string config_value(std::string_view key);

}  // namespace px::prefs

// The battery data file's path, set when the bundle is loaded and never changed.
extern std::string pathToData;
