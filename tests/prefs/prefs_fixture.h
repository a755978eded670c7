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

namespace pxtest {

class PrefsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bundle = device.path("/Library/PreferenceBundles/PylonexPro2Prefs.bundle");
    std::filesystem::create_directories(bundle);
    for (auto& f : std::filesystem::directory_iterator(PX_PREFS_RESOURCE_DIR))
      std::filesystem::copy_file(f.path(), bundle + "/" + f.path().filename().string(),
                                 std::filesystem::copy_options::overwrite_existing);
    foundation::NSUserDefaults::reset_standard_for_testing();
    foundation::NSUserDefaults::set_standard_domain("com.apple.Preferences");
    foundation::RunLoop::main().set_clock(clock);
    uikit::Animations::shared().reset_for_testing();
    pxprefs::register_classes();
  }
  void TearDown() override { foundation::RunLoop::main().set_clock(nullptr); }

  // A pane of the named class as the Settings app makes it.
  std::shared_ptr<preferences::PSListController> pane(const char* cls) {
    auto p = preferences::PSListController::make_for(objc::objc_getClass(cls));
    p->set_bundle_path("/Library/PreferenceBundles/PylonexPro2Prefs.bundle");
    return p;
  }
  std::shared_ptr<preferences::SpecifierArray> specifiers(const std::shared_ptr<preferences::PSListController>& p) {
    return objc::cast<preferences::SpecifierArray>(objc::msg_send<objc::id>(objc::id(p), objc::sel("specifiers")));
  }
  // Sends a getter as the Settings app does: the text the row shows.
  std::string get(const std::shared_ptr<preferences::PSListController>& p, const char* getter) {
    return objc::msg_send<foundation::Value>(objc::id(p), objc::sel(getter), objc::id()).description();
  }
  void write_battery_data(const foundation::Value& v) {
    foundation::writeToFile(v, sim::DevicePath("/User/Library/PylonexData.plist"));
  }
  void write_settings(const foundation::Value& v) {
    foundation::writeToFile(v, sim::DevicePath("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist"));
  }
  foundation::Value settings() {
    return foundation::dictionaryWithContentsOfFile(
        sim::DevicePath("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist"));
  }
  void set_battery(double level, int state) {
    foundation::writeToFile(
        foundation::Value(foundation::Dictionary{{"Level", level}, {"State", state}, {"Generation", 1}}),
        sim::DevicePath("/var/run/hardware/battery.plist"));
  }

  testing_support::TempDevice device;
  std::shared_ptr<foundation::ManualClock> clock = std::make_shared<foundation::ManualClock>();
};

}  // namespace pxtest
