#include "host/springboard/substrate_loader.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"

namespace px::host::springboard {

bool filter_selects(const std::string& filter_host_path, const std::string& bundle_id) {
  platform::foundation::Value filter = platform::foundation::plist::read_dictionary(filter_host_path);
  const platform::foundation::Array* bundles = filter["Filter"]["Bundles"].array();
  if (!bundles) return false;
  return std::any_of(bundles->begin(), bundles->end(),
                     [&](const platform::foundation::Value& b) { return b.string() && *b.string() == bundle_id; });
}

std::vector<std::string> load_tweaks(const std::string& bundle_id) {
  std::vector<std::string> loaded;
  std::string folder = platform::sim::DevicePath(kSubstrateFolder).host();
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(dir)) {
      std::string name = e->d_name;
      if (name.size() > 6 && name.compare(name.size() - 6, 6, ".dylib") == 0) names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    std::string base = name.substr(0, name.size() - 6);
    if (!filter_selects(folder + "/" + base + ".plist", bundle_id)) {
      platform::foundation::log_line("MobileSubstrate: skipping " + name + ": its filter does not name " + bundle_id);
      continue;
    }
    void* handle = ::dlopen((folder + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* why = ::dlerror();
      platform::foundation::log_line("MobileSubstrate: cannot load " + name + ": " + (why ? why : "unknown error"));
      continue;
    }
    platform::foundation::log_line("MobileSubstrate: loaded " + name);
    loaded.push_back(name);
  }
  return loaded;
}

}  // namespace px::host::springboard
