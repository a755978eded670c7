// A battery change's walk through the whole device: `simdevice battery` to the
// supervisor's battery entry, SpringBoard's broadcast, the tweak's data file,
// SpringBoard's defaults, the status bar's capacity, and, at the threshold,
// the power-saving actions.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "host/common/control_channel.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/hardware/hardware_state.h"
#include "tests/cli/installed_device.h"
#include "tests/cli/simdevice_runner.h"
#include "tests/support/eventually.h"

namespace {

using nlohmann::json;
using px::platform::foundation::Value;
using px::tests::support::simdevice;

class BatteryToPowerSaving : public px::tests::support::InstalledDevice {
 protected:
  // A request to SpringBoard's own control socket, for what simdevice does not show.
  px::host::common::Reply springboard(const std::vector<std::string>& args) {
    return px::host::common::control_request(px::host::common::control_socket_path("SpringBoard"), args, 5000)
        .value_or(px::host::common::Reply{});
  }
};

TEST_F(BatteryToPowerSaving, ChangesReachTheDataFileTheDefaultsAndTheStatusBar) {
  auto r = simdevice(device.root(), {"boot"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(status()["tweaks"], json::array({"PylonexPro2.dylib"}));
  EXPECT_GE(json::parse(springboard({"status"}).out, nullptr, false)["battery_generation"], 1)
      << "SpringBoard reads the battery entry as it launches";

  r = simdevice(device.root(), {"battery", "0.42", "--state", "charging", "--set", "AdapterDetails.Watts=12"});
  ASSERT_EQ(r.status, 0) << r.output;
  // `battery` returns once SpringBoard handled it: no waiting needed here.
  Value entry = px::platform::sim::battery_entry()["Status"];
  EXPECT_EQ(data_file(), entry);
  auto defaults = springboard_defaults();
  EXPECT_EQ(defaults["Capacity"], entry["AppleRawCurrentCapacity"]);
  EXPECT_EQ(defaults["DesignCapacity"], entry["DesignCapacity"]);
  EXPECT_EQ(defaults["CycleCount"], entry["CycleCount"]);
  EXPECT_EQ(defaults["Serial"], entry["Serial"]);
  EXPECT_EQ(defaults["Watts"], Value(12));
  EXPECT_EQ(defaults["Amperage"], entry["AdapterDetails"]["Amperage"]);
  // The status bar shows the capacity the tweak captured.
  std::string bar = springboard({"tick", "1", "--reset"}).out;
  EXPECT_TRUE(bar.ends_with(" - " + std::to_string(data_file()["AppleRawCurrentCapacity"].longLongValue()) + " mAh\n"))
      << bar;

  // Unplugged: no AdapterDetails, so the mirrored charger entries go.
  ASSERT_EQ(simdevice(device.root(), {"battery", "--unset", "AdapterDetails", "--state", "unplugged"}).status, 0);
  EXPECT_TRUE(springboard_defaults()["Watts"].is_nil());
  EXPECT_FALSE(data_file()["AdapterDetails"]);
  // A broadcast without a status changes nothing the tweak keeps.
  Value before = data_file();
  ASSERT_EQ(simdevice(device.root(), {"battery", "0.3", "--no-status"}).status, 0);
  EXPECT_EQ(data_file(), before);
}

TEST_F(BatteryToPowerSaving, DownToTheThresholdRunsTheActionsAndOneBanner) {
  auto threshold = [&](const char* percent) {
    device.write_text("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist",
                      std::string(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)") +
                          "<key>percentagePSM</key><real>" + percent + "</real></dict></plist>");
  };
  auto logged = [&](const char* line) {
    return px::tests::support::eventually(
        [&] { return simdevice(device.root(), {"log"}).output.find(line) != std::string::npos; });
  };
  // The settings on disk as SpringBoard starts, then a change posted while it runs.
  threshold("30");
  ASSERT_EQ(simdevice(device.root(), {"boot"}).status, 0);
  EXPECT_TRUE(logged("percentagePSM = 30.0"));
  threshold("20");
  ASSERT_EQ(simdevice(device.root(), {"post", "com.zelmoraq.PylonexPro2Prefs/updatesettings"}).status, 0);
  // The reload is asynchronous in SpringBoard; its log line says when it happened.
  ASSERT_TRUE(logged("percentagePSM = 20.0"));

  ASSERT_EQ(simdevice(device.root(), {"battery", "0.21", "--state", "unplugged"}).status, 0);
  auto s = status();
  EXPECT_EQ(s["hardware"]["wifi"], true);
  EXPECT_TRUE(s["banners"].empty()) << s["banners"];

  ASSERT_EQ(simdevice(device.root(), {"battery", "0.20"}).status, 0);
  s = status();
  EXPECT_EQ(s["hardware"]["wifi"], false);
  EXPECT_EQ(s["hardware"]["bluetooth"], false);
  EXPECT_EQ(s["hardware"]["airplane"], true);
  EXPECT_EQ(s["hardware"]["location"], false);
  EXPECT_EQ(s["hardware"]["vibrations"], 1);
  ASSERT_EQ(s["banners"].size(), 1u) << s["banners"];
  EXPECT_EQ(s["banners"][0], (json{{"title", "PylonexPro2"},
                                   {"message", "PowerSavingMode Activated!"},
                                   {"section", "com.apple.Preferences"}}));
}

}  // namespace
