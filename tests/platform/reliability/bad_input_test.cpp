// The bad-input table: every file the system reads, in every broken form,
// gives the reader's empty value (the same as a missing file) or, for files
// that still hold a property list of the wrong shape, no crash; and reading
// it changes no other file of the device. Hangs show as the test's time-out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "host/device/trace_battery.h"
#include "host/settings/settings_app.h"
#include "host/springboard/substrate_loader.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "platform/objc/runtime.h"
#include "platform/preferences/ps_list_controller.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"
#include "prefs/panes.h"
#include "shared/names.h"
#include "tests/platform/reliability/bad_input.h"
#include "tests/support/scoped_temp_dir.h"
#include "tests/support/temp_device.h"
#include "tweak/test_access.h"

namespace {
namespace fs = std::filesystem;
using px::platform::foundation::Array;
using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;
using px::platform::reliability::Expect;

Value resource(const std::string& name) {
  return px::platform::foundation::plist::read_dictionary(std::string(PX_PREFS_RESOURCES) + "/" + name);
}

class BadInput : public ::testing::Test {
 protected:
  // Puts every variant of `good` at `host_path` and renders what `read` makes
  // of it; a broken file must read as a missing one.
  void run_table(const std::string& host_path, const Value& good, const std::function<std::string()>& read,
                 bool device_links = true) {
    ASSERT_TRUE(good.is_dictionary());
    fs::create_directories(fs::path(host_path).parent_path());
    px::platform::reliability::clear(host_path);
    const std::string empty = read();
    for (auto& variant : px::platform::reliability::file_variants(good, outside, device_links)) {
      SCOPED_TRACE(variant.name);
      px::platform::reliability::clear(host_path);
      variant.place(host_path);
      auto before = px::platform::reliability::snapshot(device.root(), {host_path});
      std::string got = read();
      EXPECT_EQ(px::platform::reliability::snapshot(device.root(), {host_path}), before)
          << "reading changed another file";
      if (variant.expect == Expect::empty) {
        EXPECT_EQ(got, empty);
      } else if (variant.expect == Expect::usable) {
        EXPECT_NE(got, empty) << "a good file is read";
      }
    }
    px::platform::reliability::clear(host_path);
  }

  px::tests::support::TempDevice device;
  px::tests::support::ScopedTempDir outside_folder{"pxoutside"};
  std::string outside = outside_folder.path();
};

TEST_F(BadInput, SettingsFileGivesEveryDefault) {
  Value good(Dictionary{{"enablePSM", false},
                        {"percentagePSM", 0.35},
                        {"dimLevelPSM", 0.2},
                        {"timemode", 3},
                        {"debugMode", false},
                        {"statusbarMah", false},
                        {"fullChargeWarning", 0},
                        {"wifiPSM", false}});
  run_table(device.path(px::shared::kSettingsFile), good, [] {
    const auto& tweak = px::tweak::test_access();
    tweak.loadSettings();
    const px::tweak::SettingsSnapshot& s = tweak.settings;
    std::ostringstream o;
    o << s.debugMode << s.wifiPSM << s.locationPSM << s.airplanePSM << s.bluetoothPSM << s.dimPSM << s.vibratePSM
      << s.notificationPSM << s.capacityPOP << s.designCapacityPOP << s.cyclePOP << s.serialPOP << s.wattsPOP
      << s.amperagePOP << s.fullChargeWarning << s.enablePSM << s.statusbarMah << ' ' << s.dimLevelPSM << ' '
      << s.percentagePSM << ' ' << s.timemode;
    return o.str();
  });
}

TEST_F(BadInput, BatteryDataFileGivesPlaceholdersInEveryPaneRow) {
  px::prefs::register_classes();
  struct Pane {
    const char* cls;
    std::vector<std::string> getters;
  };
  std::vector<Pane> panes = {{"BatteryData", {}}, {"CableInfo", {}}};
  for (auto& [pane, file] : {std::pair{&panes[0], "Battery Data.plist"}, std::pair{&panes[1], "Cable Info.plist"}}) {
    Value list = resource(file);
    ASSERT_TRUE(list["items"].array()) << file;
    for (auto& item : *list["items"].array())
      if (auto* g = item["get"].string()) pane->getters.push_back(*g);
  }
  ASSERT_GT(panes[0].getters.size(), 5u);
  Value good(Dictionary{{"AppleRawCurrentCapacity", 1500},
                        {"DesignCapacity", 1810},
                        {"CycleCount", 342},
                        {"Temperature", 3050},
                        {"Serial", "C0123"},
                        {"MaxCapacity", 1620},
                        {"AdapterDetails", Dictionary{{"Watts", 12}, {"Amperage", 2100}}},
                        {"BatteryData", Dictionary{{"QmaxCell0", 1620}, {"ChemID", 6301}}}});
  run_table(device.path(px::shared::kBatteryDataFile), good, [&] {
    std::string rows;
    for (auto& p : panes) {
      auto pane = px::platform::preferences::PSListController::make_for(px::platform::objc::objc_getClass(p.cls));
      for (auto& g : p.getters)
        rows += px::platform::objc::msg_send<Value>(px::platform::objc::id(pane), px::platform::objc::sel(g),
                                                    px::platform::objc::id{})
                    .description() +
                "|";
    }
    return rows;
  });
}

TEST_F(BadInput, DefaultsDomainReadsEmptyAndIsRewrittenWhole) {
  Value good(Dictionary{{"SBLastLevel", 0.5}, {"PXWelcomeShown", true}, {"Name", "device"}});
  std::string file = px::platform::foundation::NSUserDefaults("com.apple.Preferences").file().host();
  run_table(file, good, [] {
    return px::platform::foundation::NSUserDefaults("com.apple.Preferences").dictionaryRepresentation().description();
  });
  // After a broken domain, the first save writes a good one in its place.
  for (const char* broken : {"", "bplist00garbage", "<plist><dict><key>a</key>"}) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << broken;
    px::platform::foundation::NSUserDefaults d("com.apple.Preferences");
    d.setObject(Value(1), "k");
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(px::platform::foundation::plist::read_dictionary(file), Value(Dictionary{{"k", 1}}));
  }
}

TEST_F(BadInput, SpecifierListGivesNoSpecifiers) {
  Value good = resource("Battery Data.plist");
  const std::string bundle = "/Library/PreferenceBundles/PylonexPro2Prefs.bundle";
  run_table(device.path(bundle + "/Battery Data.plist"), good, [&] {
    auto pane = px::platform::preferences::PSListController::make_for(
        px::platform::preferences::PSListController::runtime_class());
    pane->set_bundle_path(bundle);
    auto list = pane->loadSpecifiersFromPlistName("Battery Data", pane);
    return list ? std::to_string(list->count()) + " " + list->title().value_or("-") : std::string("nil");
  });
}

TEST_F(BadInput, PreferenceLoaderEntryIsLeftOut) {
  Value good = resource("entry.plist");
  ASSERT_TRUE(good.is_dictionary());
  run_table(device.path("/Library/PreferenceLoader/Preferences/PylonexPro2.plist"), good, [] {
    px::host::settings::SettingsApp app;
    app.load_entries();
    std::string labels;
    for (auto& e : app.entries()) labels += e.label + "|";
    return labels;
  });
}

TEST_F(BadInput, FilterPlistSelectsNothing) {
  Value good(Dictionary{{"Filter", Dictionary{{"Bundles", Array{"com.apple.springboard"}}}}});
  std::string file = device.path(std::string(px::host::springboard::kSubstrateFolder) + "/PylonexPro2.plist");
  run_table(file, good, [&] {
    return std::string(px::host::springboard::filter_selects(file, "com.apple.springboard") ? "yes" : "no");
  });
}

TEST_F(BadInput, BatteryEntryIsNothing) {
  Value good(
      Dictionary{{"Level", 0.5}, {"State", 2}, {"Generation", 3}, {"Status", Dictionary{{"CurrentCapacity", 50}}}});
  run_table(device.path(px::platform::sim::kBatteryEntry), good,
            [] { return px::platform::sim::battery_entry().description(); });
}

TEST_F(BadInput, TraceIsRefusedWithAReason) {
  Value good(Dictionary{{"Samples", Array{Dictionary{{"Time", 0}, {"Level", 0.5}, {"State", 2}},
                                          Dictionary{{"Time", 10}, {"Level", 0.6}, {"State", 2}}}}});
  std::string file = outside + "/trace.plist";
  run_table(
      file, good,
      [&] {
        auto samples = px::host::device::read_trace(file);
        if (!samples) {
          EXPECT_FALSE(samples.message().empty()) << "a refused trace says why";
          return std::string("none");
        }
        return std::to_string(samples->size());
      },
      /*device_links=*/false);
}

}  // namespace
