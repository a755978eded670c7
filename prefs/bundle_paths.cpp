#include "prefs/bundle_paths.h"

#include "platform/foundation/property_list_files.h"
#include "shared/names.h"

std::string pathToData = px::shared::kBatteryDataFile;

namespace px::prefs {
namespace {
struct Default {
  const char* key;
  const char* value;
};
// Reserved example names: nothing is reached until a device configures a server.
const Default kDefaults[] = {
    {"PXConnectivityProbeURL", "http://probe.pylonex.example/"},
    {"PXUploadHost", "stats.pylonex.example"},
    {"PXStatisticsSiteURL", "http://stats.pylonex.example/"},
    {"PXSocialWebHost", "twitter.com"},
};
}  // namespace

std::string config_value(std::string_view key) {
  platform::foundation::Value info = platform::foundation::dictionaryWithContentsOfFile(
      platform::sim::DevicePath(std::string(kBundleFolder) + "/Info.plist"));
  if (auto* s = info[key].string()) return *s;
  for (auto& d : kDefaults)
    if (key == d.key) return d.value;
  return {};
}

}  // namespace px::prefs
