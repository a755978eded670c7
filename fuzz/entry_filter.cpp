#include <string>

#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "host/springboard/substrate_loader.h"
#include "platform/foundation/file_io.h"
#include "platform/sim/device_paths.h"

namespace px::fuzz {

void filter_plist(std::string_view bytes) {
  static const std::string folder = [] {
    fuzz_device_root();
    // Not a library: whatever the filter says, dlopen refuses it and the
    // loader must log that and carry on.
    put_device_file(std::string(host::springboard::kSubstrateFolder) + "/Fuzz.dylib", "not a library");
    return platform::sim::DevicePath(host::springboard::kSubstrateFolder).host();
  }();
  put_device_file(std::string(host::springboard::kSubstrateFolder) + "/Fuzz.plist", bytes);
  truncate_device_log();
  bool selected = host::springboard::filter_selects(folder + "/Fuzz.plist", "com.apple.springboard");
  auto loaded = host::springboard::load_tweaks("com.apple.springboard");
  require(loaded.empty(), "nothing but a text file to load");
  std::string log =
      platform::foundation::read_whole_file(platform::sim::DevicePath("/var/log/syslog").host(), 1 << 20).value_or("");
  bool skipped = log.find("skipping Fuzz.dylib") != std::string::npos;
  bool tried = log.find("cannot load Fuzz.dylib") != std::string::npos;
  require(skipped != tried, "the loader either skips the library or tries it");
  require(tried == selected, "the loader tries exactly what the filter selects");
}

}  // namespace px::fuzz
