#pragma once
// A temporary device with the bundle's resources installed where the device
// keeps them, the bundle's classes registered, and the Settings app's
// defaults domain: what the panes see inside the Settings app.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/preferences/ps_list_controller.h"
#include "platform/uikit/animations.h"
#include "platform/uikit/ui_alert_view.h"
#include "prefs/panes.h"
#include "tests/support/temp_device.h"

namespace px::prefs {

class PrefsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bundle = device.path("/Library/PreferenceBundles/PylonexPro2Prefs.bundle");
    std::filesystem::create_directories(bundle);
    for (auto& f : std::filesystem::directory_iterator(PX_PREFS_RESOURCE_DIR))
      std::filesystem::copy_file(f.path(), bundle + "/" + f.path().filename().string(),
                                 std::filesystem::copy_options::overwrite_existing);
    platform::foundation::NSUserDefaults::reset_standard_for_testing();
    platform::foundation::NSUserDefaults::set_standard_domain("com.apple.Preferences");
    platform::foundation::RunLoop::main().set_clock(clock);
    platform::uikit::Animations::shared().reset_for_testing();
    prefs::register_classes();
  }
  void TearDown() override { platform::foundation::RunLoop::main().set_clock(nullptr); }

  // A pane of the named class as the Settings app makes it.
  std::shared_ptr<platform::preferences::PSListController> pane(const char* cls) {
    auto p = platform::preferences::PSListController::make_for(platform::objc::objc_getClass(cls));
    p->set_bundle_path("/Library/PreferenceBundles/PylonexPro2Prefs.bundle");
    return p;
  }
  std::shared_ptr<platform::preferences::SpecifierArray> specifiers(
      const std::shared_ptr<platform::preferences::PSListController>& p) {
    return platform::objc::cast<platform::preferences::SpecifierArray>(
        platform::objc::msg_send<platform::objc::id>(platform::objc::id(p), platform::objc::sel("specifiers")));
  }
  // Sends a getter as the Settings app does: the text the row shows.
  std::string get(const std::shared_ptr<platform::preferences::PSListController>& p, const char* getter) {
    return platform::objc::msg_send<platform::foundation::Value>(platform::objc::id(p), platform::objc::sel(getter),
                                                                 platform::objc::id())
        .description();
  }
  void write_battery_data(const platform::foundation::Value& v) {
    platform::foundation::writeToFile(v, platform::sim::DevicePath("/User/Library/PylonexData.plist"));
  }
  void write_settings(const platform::foundation::Value& v) {
    platform::foundation::writeToFile(
        v, platform::sim::DevicePath("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist"));
  }
  platform::foundation::Value settings() {
    return platform::foundation::dictionaryWithContentsOfFile(
        platform::sim::DevicePath("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist"));
  }
  void set_battery(double level, int state) {
    platform::foundation::writeToFile(platform::foundation::Value(platform::foundation::Dictionary{
                                          {"Level", level}, {"State", state}, {"Generation", 1}}),
                                      platform::sim::DevicePath("/var/run/hardware/battery.plist"));
  }

  tests::support::TempDevice device;
  std::shared_ptr<platform::foundation::ManualClock> clock = std::make_shared<platform::foundation::ManualClock>();
};

}  // namespace px::prefs
