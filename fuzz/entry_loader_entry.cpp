#include <algorithm>
#include <filesystem>
#include <memory>

#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "host/settings/settings_app.h"
#include "platform/sim/device_paths.h"

namespace px::fuzz {

void loader_entry(std::string_view bytes) {
  // One Settings app for the run, with the real settings bundle installed, so
  // that an entry naming it opens the real panes with the fuzzed dictionary
  // as their specifier.
  static host::settings::SettingsApp& app = []() -> host::settings::SettingsApp& {
    fuzz_device_root();
    std::string bundles = platform::sim::DevicePath("/Library/PreferenceBundles").host();
    std::filesystem::create_directories(bundles);
    std::filesystem::copy(PX_PREFS_BUNDLE, bundles + "/PylonexPro2Prefs.bundle",
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    static auto made = std::make_unique<host::settings::SettingsApp>();
    return *made;
  }();
  put_device_file("/Library/PreferenceLoader/Preferences/Fuzz.plist", bytes);
  truncate_device_log();
  app.load_entries();
  const auto& entries = app.entries();
  require(entries.size() <= 1, "one entry file gives at most one entry");
  for (const auto& entry : entries) {
    require(entry.file == "Fuzz", "the entry is named after its file");
    if (app.open_entry(entry)) continue;  // refused with a reason
    (void)app.show_json();
    (void)app.show_text();
    while (app.back()) {
    }
  }
}

}  // namespace px::fuzz
