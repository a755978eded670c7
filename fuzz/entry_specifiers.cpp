#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "platform/objc/runtime.h"
#include "platform/preferences/ps_list_controller.h"

namespace px::fuzz {

void specifier_list(std::string_view bytes) {
  static platform::objc::Class cls = [] {
    fuzz_device_root();
    return platform::preferences::PSListController::runtime_class();
  }();
  put_device_file("/Library/PreferenceBundles/Fuzz.bundle/Fuzz.plist", bytes);
  truncate_device_log();
  auto pane = platform::preferences::PSListController::make_for(cls);
  pane->set_bundle_path("/Library/PreferenceBundles/Fuzz.bundle");
  auto list = pane->loadSpecifiersFromPlistName("Fuzz", pane);
  if (!list) return;
  for (auto& s : list->items()) require(s != nullptr, "every specifier exists");
}

}  // namespace px::fuzz
