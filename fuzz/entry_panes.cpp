#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "platform/foundation/property_list.h"
#include "platform/objc/runtime.h"
#include "platform/preferences/ps_list_controller.h"
#include "prefs/panes.h"
#include "shared/names.h"

namespace px::fuzz {
namespace {

struct PaneGetters {
  std::string pane;
  std::vector<std::string> getters;
};

// The getters each pane's specifier list names, read from the bundle's own
// resources, so that a getter added to a list is fuzzed without a change here.
std::vector<PaneGetters> getters_of_panes() {
  std::vector<PaneGetters> out;
  struct List {
    const char* pane;
    const char* file;
  };
  for (List l : {List{"BatteryData", "Battery Data"}, List{"CableInfo", "Cable Info"},
                 List{"DataSharing", "Data Sharing"}, List{"PylonexPro2PrefsListController", "PylonexPro2Prefs"}}) {
    platform::foundation::Value list =
        platform::foundation::plist::read_dictionary(std::string(PX_PREFS_RESOURCES) + "/" + l.file + ".plist");
    PaneGetters pg{l.pane, {}};
    if (auto* items = list["items"].array())
      for (auto& item : *items)
        if (auto* get = item["get"].string()) pg.getters.push_back(*get);
    out.push_back(std::move(pg));
  }
  return out;
}

}  // namespace

void pane_getters(std::string_view bytes) {
  static const std::vector<PaneGetters> panes = [] {
    fuzz_device_root();
    prefs::register_classes();
    auto p = getters_of_panes();
    std::size_t total = 0;
    for (auto& pg : p) total += pg.getters.size();
    require(total > 0, "the specifier lists name getters");
    return p;
  }();
  put_device_file(shared::kBatteryDataFile, bytes);
  truncate_device_log();
  for (auto& pg : panes) {
    platform::objc::Class cls = platform::objc::objc_getClass(pg.pane);
    if (!cls) continue;
    auto pane = platform::preferences::PSListController::make_for(cls);
    platform::objc::id self = pane;
    for (auto& g : pg.getters) {
      platform::foundation::Value v =
          platform::objc::msg_send<platform::foundation::Value>(self, platform::objc::sel(g), platform::objc::id{});
      // Every row shows text (or nothing); description must never fail.
      (void)v.description();
    }
  }
}

}  // namespace px::fuzz
