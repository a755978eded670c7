// The device with the real SpringBoard and the tweak: battery sources feeding
// the tweak's capture, safe mode caused by a crashing tweak, the live view,
// a respring, and the package installed from the .deb. (A battery change's
// walk to the data file, the defaults and power saving: battery_e2e_test.cpp.)

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "host/cli/package_store.h"
#include "platform/foundation/property_list.h"
#include "tests/cli/installed_device.h"
#include "tests/cli/simdevice_runner.h"
#include "tests/support/temp_device.h"

namespace {

namespace fs = std::filesystem;
using px::platform::foundation::Value;
using px::tests::support::simdevice;

using RealDevice = px::tests::support::InstalledDevice;

TEST_F(RealDevice, SysfsBatteryFeedsTheTweakWithTheMappedKeys) {
  std::string dir = device.root() + "/tmp/power_supply";
  fs::create_directories(dir + "/BAT0");
  for (auto [k, v] : {std::pair{"type", "Battery"},
                      {"status", "Discharging"},
                      {"capacity", "57"},
                      {"charge_now", "2850000"},
                      {"charge_full", "5000000"},
                      {"charge_full_design", "5200000"},
                      {"voltage_now", "11400000"},
                      {"current_now", "-800000"},
                      {"temp", "298"},
                      {"cycle_count", "140"},
                      {"serial_number", "4242"}})
    std::ofstream(dir + "/BAT0/" + k) << v << "\n";
  auto r = simdevice(device.root(), {"boot", "--battery", "sysfs:" + dir});
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(simdevice(device.root(), {"battery"}).status, 0);  // one broadcast handled for sure
  Value d = data_file();
  ASSERT_TRUE(d.is_dictionary()) << simdevice(device.root(), {"log"}).output;
  std::vector<std::string> keys;
  for (auto& [k, v] : *d.dictionary()) keys.push_back(k);
  EXPECT_EQ(keys,
            (std::vector<std::string>{"Amperage", "AppleRawCurrentCapacity", "AppleRawMaxCapacity", "BatteryInstalled",
                                      "CurrentCapacity", "CycleCount", "DesignCapacity", "ExternalChargeCapable",
                                      "ExternalConnected", "FullyCharged", "InstantAmperage", "IsCharging",
                                      "MaxCapacity", "Serial", "Temperature", "UpdateTime", "Voltage"}));
  EXPECT_EQ(d["AppleRawCurrentCapacity"], Value(2850));
  EXPECT_EQ(d["Temperature"], Value(2980));
  EXPECT_EQ(d["Amperage"], Value(-800));
  EXPECT_EQ(springboard_defaults()["Capacity"], Value(2850));
  EXPECT_EQ(status()["hardware"]["battery"]["level"], 0.57);
}

TEST_F(RealDevice, TraceBatteryFeedsTheTweak) {
  std::string trace = device.root() + "/tmp/trace.jsonl";
  std::ofstream(trace) << "{\"Time\": 0, \"State\": \"charging\", \"Status\": {\"AppleRawCurrentCapacity\": 1111, "
                          "\"AppleRawMaxCapacity\": 1500, \"CycleCount\": 9, \"AdapterDetails\": {\"Watts\": 10}}}\n";
  auto r = simdevice(device.root(), {"boot", "--battery", "trace:" + trace});
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(simdevice(device.root(), {"battery"}).status, 0);
  EXPECT_EQ(data_file()["AppleRawCurrentCapacity"], Value(1111));
  EXPECT_EQ(springboard_defaults()["Watts"], Value(10));
  EXPECT_EQ(springboard_defaults()["CycleCount"], Value(9));
}

TEST_F(RealDevice, ACrashingTweakLeadsToSafeModeAndRespringLeavesIt) {
  std::string dylibs = device.path("/Library/MobileSubstrate/DynamicLibraries");
  fs::copy_file(PX_CRASHING_TWEAK, dylibs + "/Crasher.dylib");
  px::platform::foundation::plist::write_file(
      dylibs + "/Crasher.plist",
      Value(px::platform::foundation::Dictionary{
          {"Filter", px::platform::foundation::Dictionary{{"Bundles", px::platform::foundation::Array{Value(
                                                                          "com.apple.springboard")}}}}}),
      px::platform::foundation::plist::Format::xml);
  auto r = simdevice(device.root(), {"boot"});
  ASSERT_EQ(r.status, 0) << r.output;
  auto s = status();
  EXPECT_EQ(s["springboard"]["safe_mode"], true);
  EXPECT_TRUE(s["tweaks"].empty());
  ASSERT_FALSE(s["alerts"].empty());
  EXPECT_EQ(s["alerts"].back()["title"], "SpringBoard");

  // The live view shows the status bar text and the safe-mode alert.
  auto frame = simdevice(device.root(), {"watch", "--once"});
  ASSERT_EQ(frame.status, 0);
  EXPECT_NE(frame.output.find(s["status_bar_time"].get<std::string>()), std::string::npos) << frame.output;
  EXPECT_NE(frame.output.find("ALERT: SpringBoard"), std::string::npos) << frame.output;
  EXPECT_NE(frame.output.find("SAFE MODE"), std::string::npos);

  fs::remove(dylibs + "/Crasher.dylib");
  fs::remove(dylibs + "/Crasher.plist");
  r = simdevice(device.root(), {"respring"});
  ASSERT_EQ(r.status, 0) << r.output;
  s = status();
  EXPECT_EQ(s["springboard"]["safe_mode"], false);
  EXPECT_EQ(s["tweaks"], nlohmann::json::array({"PylonexPro2.dylib"}));
}

TEST_F(RealDevice, ThePackageFromTheDebInstallsIntoAFreshDeviceAndBoots) {
  if (std::system("command -v dpkg-deb >/dev/null 2>&1") != 0) GTEST_SKIP() << "dpkg-deb is not installed";
  std::string out = device.root() + "/tmp";
  std::string cmd = std::string("bash ") + PX_BUILD_DEB + " " + PX_STAGE_DIR + " " + PX_CONTROL_FILE + " " + out +
                    " > " + out + "/deb-path";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::string deb = device.read_text("/tmp/deb-path");
  deb.erase(deb.find_last_not_of("\n") + 1);
  // A second, fresh device gets only the .deb.
  px::tests::support::TempDevice fresh;
  auto r = simdevice(fresh.root(), {"install", deb});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(fresh.exists("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/PylonexPro2Prefs"));
  EXPECT_TRUE(fresh.exists("/Library/PreferenceLoader/Preferences/PylonexPro2.plist"));
  r = simdevice(fresh.root(), {"boot"});
  EXPECT_EQ(r.status, 0) << r.output;
  auto s = nlohmann::json::parse(simdevice(fresh.root(), {"status", "--json"}).output, nullptr, false);
  EXPECT_EQ(s["tweaks"], nlohmann::json::array({"PylonexPro2.dylib"}));
  simdevice(fresh.root(), {"shutdown"});
  r = simdevice(fresh.root(), {"remove"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(fresh.exists("/Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib"));
}

TEST_F(RealDevice, RespringKeepsSettingsAndHasLaunchedOnceAndStartsTheTweakAfresh) {
  ASSERT_EQ(simdevice(device.root(), {"boot"}).status, 0);
  ASSERT_EQ(simdevice(device.root(), {"unlock"}).status, 0);
  simdevice(device.root(), {"press", "0"});  // the welcome alert
  device.write_text("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist",
                    R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)"
                    R"(<key>percentagePSM</key><real>20</real><key>Fahrenheit</key><true/></dict></plist>)");
  auto full_alerts = [&] {
    int n = 0;
    auto s = status();
    for (auto& a : s["alerts"])
      if (a.value("message", "") == "Your Battery is now Fully Charged!") ++n;
    return n;
  };
  ASSERT_EQ(simdevice(device.root(), {"battery", "100%", "--state", "full"}).status, 0);
  EXPECT_EQ(full_alerts(), 1);
  simdevice(device.root(), {"press", "0"});
  ASSERT_EQ(simdevice(device.root(), {"battery", "0.5", "--state", "unplugged"}).status, 0);
  ASSERT_EQ(simdevice(device.root(), {"battery", "100%", "--state", "full"}).status, 0);
  EXPECT_EQ(full_alerts(), 0);  // one shot per SpringBoard run

  auto r = simdevice(device.root(), {"respring"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(springboard_defaults()["HasLaunchedOnce"].boolValue());
  auto settings = px::platform::foundation::plist::read_dictionary(
      device.path("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist"));
  EXPECT_EQ(settings["percentagePSM"], Value(20.0));
  ASSERT_EQ(simdevice(device.root(), {"battery", "0.5", "--state", "unplugged"}).status, 0);
  ASSERT_EQ(simdevice(device.root(), {"battery", "100%", "--state", "full"}).status, 0);
  EXPECT_EQ(full_alerts(), 1);  // the restarted tweak alerts again
  // No welcome alert after the restart: HasLaunchedOnce survived it.
  ASSERT_EQ(simdevice(device.root(), {"unlock"}).status, 0);
  auto after = status();
  for (auto& a : after["alerts"]) EXPECT_EQ(a["buttons"].size() == 2 && a["buttons"][1] == "Open Settings", false);
}

}  // namespace
