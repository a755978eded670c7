// The supervisor across real processes, with a SpringBoard stand-in: boot,
// restarts, safe mode, shutdown, battery changes and recording.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <thread>

#include "host/device/trace_battery.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/social/sl_compose_view_controller.h"
#include "platform/system/device_process.h"
#include "tests/cli/simdevice_runner.h"
#include "tests/support/eventually.h"
#include "tests/support/temp_device.h"

namespace {

using px::tests::support::eventually;
using px::tests::support::simdevice;

class Supervised : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("SIMDEVICE_BIN_DIR", PX_FAKE_SPRINGBOARD_DIR, 1); }
  void TearDown() override {
    simdevice(device.root(), {"shutdown"});
    ::unsetenv("SIMDEVICE_BIN_DIR");
  }
  nlohmann::json status() {
    auto r = simdevice(device.root(), {"status", "--json"});
    return nlohmann::json::parse(r.output, nullptr, false);
  }
  px::tests::support::TempDevice device;
};

TEST_F(Supervised, BootRecordsPidsAndShutdownLeavesNoProcess) {
  auto r = simdevice(device.root(), {"boot"});
  ASSERT_EQ(r.status, 0) << r.output;
  auto launchd = px::platform::system::DeviceProcess("launchd").recorded();
  auto springboard = px::platform::system::DeviceProcess("SpringBoard").recorded();
  ASSERT_TRUE(launchd && springboard);
  EXPECT_TRUE(px::platform::system::DeviceProcess::belongs_to_device(*launchd));
  EXPECT_TRUE(px::platform::system::DeviceProcess::belongs_to_device(*springboard));
  auto s = status();
  EXPECT_EQ(s["springboard"]["pid"], *springboard);
  EXPECT_EQ(s["springboard"]["launched"], true);
  EXPECT_EQ(s["hardware"]["battery"]["state"], "unplugged");

  EXPECT_EQ(simdevice(device.root(), {"boot"}).status, 0);  // booting twice is harmless
  EXPECT_EQ(*px::platform::system::DeviceProcess("launchd").recorded(), *launchd);

  r = simdevice(device.root(), {"shutdown"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(px::platform::system::DeviceProcess::belongs_to_device(*launchd));
  EXPECT_FALSE(px::platform::system::DeviceProcess::belongs_to_device(*springboard));
  EXPECT_FALSE(px::platform::system::DeviceProcess("SpringBoard").recorded());
  EXPECT_FALSE(px::platform::system::DeviceProcess("launchd").recorded());
}

TEST_F(Supervised, AKilledSpringBoardIsStartedAgain) {
  ASSERT_EQ(simdevice(device.root(), {"boot"}).status, 0);
  pid_t first = *px::platform::system::DeviceProcess("SpringBoard").recorded();
  ASSERT_EQ(::kill(first, SIGKILL), 0);
  ASSERT_TRUE(eventually([&] {
    auto s = status();
    return s["springboard"]["launched"] == true && s["springboard"]["pid"].is_number() &&
           s["springboard"]["pid"] != first;
  }));
  auto s = status();
  EXPECT_EQ(s["springboard"]["restarts"], 1);
  EXPECT_EQ(s["springboard"]["safe_mode"], false);
}

TEST_F(Supervised, RepeatedCrashesMeanSafeModeUntilRespring) {
  device.write_text("/var/run/fake-springboard-crash", "");
  ASSERT_EQ(simdevice(device.root(), {"boot"}).status, 0);  // returns once the safe-mode SpringBoard is up
  auto s = status();
  EXPECT_EQ(s["springboard"]["safe_mode"], true);
  EXPECT_GE(s["springboard"]["restarts"], 3);
  EXPECT_NE(simdevice(device.root(), {"status"}).output.find("SAFE MODE"), std::string::npos);

  std::remove(device.path("/var/run/fake-springboard-crash").c_str());
  auto r = simdevice(device.root(), {"respring"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(status()["springboard"]["safe_mode"], false);
}

TEST_F(Supervised, BatteryCommandsChangeTheEntryAndReport) {
  ASSERT_EQ(simdevice(device.root(), {"boot"}).status, 0);
  auto r = simdevice(device.root(), {"battery", "42%", "--state", "charging", "--set", "AdapterDetails.Watts=12"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("42%, charging"), std::string::npos) << r.output;
  auto entry = px::platform::sim::battery_entry();
  EXPECT_EQ(entry["Level"], px::platform::foundation::Value(0.42));
  EXPECT_EQ(entry["Status"]["AdapterDetails"]["Watts"], px::platform::foundation::Value(12));
  r = simdevice(device.root(), {"unplug"});
  ASSERT_EQ(r.status, 0) << r.output;
  // The hand-set Watts keeps the adapter dictionary alive even unplugged.
  EXPECT_EQ(px::platform::sim::battery_entry()["Status"]["AdapterDetails"]["Watts"],
            px::platform::foundation::Value(12));
  EXPECT_EQ(px::platform::sim::battery_entry()["State"], px::platform::foundation::Value(1));
  r = simdevice(device.root(), {"battery", "1.5"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("bad level"), std::string::npos);
}

TEST_F(Supervised, TheLevelShownIsThePercentTheAddOnActsOn) {
  // 0.199 is 19 % to the add-on (its power-saving threshold of 19 fires), so
  // no screen may call it 20 %.
  ASSERT_EQ(simdevice(device.root(), {"boot"}).status, 0);
  auto r = simdevice(device.root(), {"battery", "0.199"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("battery: 19%,"), std::string::npos) << r.output;
  EXPECT_NE(simdevice(device.root(), {"status"}).output.find("Battery:     19%,"), std::string::npos);
  auto s = status();
  EXPECT_EQ(s["hardware"]["battery"]["level_percent"], 19);
  ASSERT_EQ(simdevice(device.root(), {"battery", "-1"}).status, 0);
  EXPECT_TRUE(status()["hardware"]["battery"]["level_percent"].is_null());
}

TEST_F(Supervised, RecordWritesATraceThatReplays) {
  ASSERT_EQ(simdevice(device.root(), {"boot"}).status, 0);
  ASSERT_EQ(simdevice(device.root(), {"battery", "0.3", "--set", "CycleCount=77"}).status, 0);
  std::string trace = device.root() + "/tmp/rec.jsonl";
  auto r = simdevice(device.root(), {"record", trace, "--count", "1"});
  ASSERT_EQ(r.status, 0) << r.output;
  auto samples = px::host::device::read_trace(trace);
  ASSERT_TRUE(samples) << samples.message();
  ASSERT_EQ(samples->size(), 1u);
  EXPECT_DOUBLE_EQ((*samples)[0].reading.level, 0.3);
  EXPECT_EQ((*samples)[0].reading.status, px::platform::sim::battery_entry()["Status"]);

  simdevice(device.root(), {"shutdown"});
  r = simdevice(device.root(), {"boot", "--battery", "trace:" + trace});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(px::platform::sim::battery_entry()["Status"]["CycleCount"], px::platform::foundation::Value(77));
  EXPECT_EQ(status()["battery_source"], "trace:" + trace);
}

TEST_F(Supervised, BadBatterySourcesAreRefusedBeforeAnythingStarts) {
  std::string empty = device.root() + "/tmp/no-power";
  std::filesystem::create_directories(empty);
  auto r = simdevice(device.root(), {"boot", "--battery", "sysfs:" + empty});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("no battery"), std::string::npos) << r.output;
  EXPECT_FALSE(px::platform::system::DeviceProcess("launchd").running());
  r = simdevice(device.root(), {"boot", "--battery", "trace:" + device.root() + "/missing.jsonl"});
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(px::platform::system::DeviceProcess("launchd").running());
}

TEST_F(Supervised, AccountsAreSetUpFromTheCommandLineAndListedInStatus) {
  EXPECT_FALSE(px::platform::social::SLComposeViewController::isAvailableForServiceType(
      px::platform::social::SLServiceTypeTwitter));
  auto r = simdevice(device.root(), {"account", "add", "twitter"});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(px::platform::social::SLComposeViewController::isAvailableForServiceType(
      px::platform::social::SLServiceTypeTwitter));
  EXPECT_EQ(status()["accounts"], nlohmann::json::array({"twitter"}));
  EXPECT_NE(simdevice(device.root(), {"status"}).output.find("Accounts:    twitter"), std::string::npos);
  EXPECT_EQ(simdevice(device.root(), {"account", "add", "twitter"}).status, 0);  // twice is once
  EXPECT_EQ(status()["accounts"], nlohmann::json::array({"twitter"}));

  ASSERT_EQ(simdevice(device.root(), {"account", "remove", "twitter"}).status, 0);
  EXPECT_FALSE(px::platform::social::SLComposeViewController::isAvailableForServiceType(
      px::platform::social::SLServiceTypeTwitter));
  EXPECT_EQ(status()["accounts"], nlohmann::json::array());
  EXPECT_EQ(simdevice(device.root(), {"account", "remove", "twitter"}).status, 0);

  r = simdevice(device.root(), {"account", "add", "myspace"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("twitter"), std::string::npos) << r.output;
  EXPECT_EQ(simdevice(device.root(), {"account"}).status, 2);
}

TEST_F(Supervised, CommandsOnAStoppedDeviceSayWhatToDo) {
  auto r = simdevice(device.root(), {"battery", "0.5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("simdevice boot"), std::string::npos);
  r = simdevice(device.root(), {"unlock"});
  EXPECT_EQ(r.status, 1);
  r = simdevice(device.root(), {"status", "--json"});
  EXPECT_EQ(r.status, 0);
  auto s = nlohmann::json::parse(r.output, nullptr, false);
  EXPECT_EQ(s["running"], false);
  EXPECT_TRUE(s["springboard"]["pid"].is_null());
  EXPECT_EQ(simdevice(device.root(), {"shutdown"}).status, 0);
}

}  // namespace
