// The real SpringBoard binary on a temporary device root, driven across
// processes: the battery entry written as the supervisor writes it, commands
// over the control socket, a settings change posted from this process.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "host/common/control_channel.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/hardware/hardware_state.h"
#include "shared/names.h"
#include "tests/support/eventually.h"
#include "tests/support/temp_device.h"

extern char** environ;

namespace {

using foundation::Dictionary;
using foundation::Value;
using nlohmann::json;

using testing_support::eventually;

Dictionary status_with_capacity(int mAh) {
  return Dictionary{{"AppleRawCurrentCapacity", Value(mAh)},
                    {"DesignCapacity", Value(1560)},
                    {"CycleCount", Value(120)},
                    {"Serial", Value("C0123456789ABCDEF")},
                    {"Temperature", Value(2850)},
                    {"AdapterDetails", Value(Dictionary{{"Watts", Value(5)}, {"Amperage", Value(1000)}})}};
}

class SpringBoardProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = m_device.path("/Library/MobileSubstrate/DynamicLibraries");
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(PX_TWEAK_DYLIB, folder + "/PylonexPro2.dylib");
    std::filesystem::copy_file(PX_TWEAK_FILTER, folder + "/PylonexPro2.plist");
  }
  void TearDown() override { stop(); }

  void write_battery(double level, const Dictionary& status) {
    Dictionary entry{
        {"Level", Value(level)}, {"State", Value(1)}, {"Generation", Value(++m_generation)}, {"Status", Value(status)}};
    ASSERT_TRUE(
        foundation::plist::write_file(m_device.path(sim::kBatteryEntry), Value(entry), foundation::plist::Format::xml));
  }

  void launch() {
    std::string root = "SIMDEVICE_ROOT=" + m_device.root();
    char* env[] = {root.data(), nullptr};
    char* argv[] = {const_cast<char*>(PX_SPRINGBOARD_BIN), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ASSERT_EQ(posix_spawn(&m_pid, PX_SPRINGBOARD_BIN, &actions, nullptr, argv, env), 0);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_TRUE(eventually([&] {
      auto s = request({"status"});
      return s && json::parse(s->out)["launched"].get<bool>();
    }));
  }

  void stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    int st = 0;
    if (!eventually([&] { return ::waitpid(m_pid, &st, WNOHANG) == m_pid; })) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, &st, 0);
    }
    m_pid = -1;
  }

  std::optional<host::Reply> request(const std::vector<std::string>& args) {
    return host::control_request(host::control_socket_path("SpringBoard"), args, 5000);
  }
  json status() { return json::parse(request({"status"}).value_or(host::Reply{}).out); }
  bool synced_to(std::int64_t generation) {
    auto r = request({"sync"});
    return r && r->out == std::to_string(generation) + "\n";
  }

  testing_support::TempDevice m_device;
  pid_t m_pid = -1;
  int m_generation = 0;
};

TEST_F(SpringBoardProcessTest, BatteryChangesReachTheDataFileDefaultsAndPowerSaving) {
  foundation::writeToFile(Value(Dictionary{{"percentagePSM", Value(40.0)}}), sim::DevicePath(px::kSettingsFile));
  write_battery(0.8, status_with_capacity(1500));
  launch();
  json s = status();
  EXPECT_EQ(s["tweaks"], json::array({"PylonexPro2.dylib"}));
  EXPECT_EQ(s["battery_generation"], 1);

  write_battery(0.40, status_with_capacity(1400));
  ASSERT_TRUE(eventually([&] { return synced_to(2); }));

  EXPECT_EQ(foundation::dictionaryWithContentsOfFile(sim::DevicePath(px::kBatteryDataFile)),
            Value(status_with_capacity(1400)));
  Value defaults = foundation::dictionaryWithContentsOfFile(
      sim::DevicePath("/var/mobile/Library/Preferences/com.apple.springboard.plist"));
  EXPECT_EQ(defaults["Capacity"], Value(1400));
  EXPECT_EQ(defaults["DesignCapacity"], Value(1560));
  EXPECT_EQ(defaults["CycleCount"], Value(120));
  EXPECT_EQ(defaults["Serial"], Value("C0123456789ABCDEF"));
  EXPECT_EQ(defaults["Watts"], Value(5));
  EXPECT_EQ(defaults["Amperage"], Value(1000));

  s = status();
  ASSERT_EQ(s["banners"].size(), 1u);
  EXPECT_EQ(s["banners"][0], (json{{"title", "PylonexPro2"},
                                   {"message", "PowerSavingMode Activated!"},
                                   {"section", "com.apple.Preferences"}}));
  EXPECT_EQ(sim::hardware_value("wifi"), Value(false));
  EXPECT_EQ(sim::hardware_value("airplane"), Value(true));
  EXPECT_EQ(request({"tick", "1", "--reset"})->out.ends_with(" - 1400 mAh\n"), true);
}

TEST_F(SpringBoardProcessTest, SettingsWrittenAndPostedFromAnotherProcessAreReloaded) {
  launch();
  foundation::writeToFile(Value(Dictionary{{"percentagePSM", Value(55.0)}, {"timemode", Value(0)}}),
                          sim::DevicePath(px::kSettingsFile));
  ASSERT_TRUE(foundation::darwin::post(px::kSettingsChangedNotification));
  EXPECT_TRUE(eventually([&] {
    std::string log = m_device.read_text("/var/log/syslog");
    return log.find(
               "PylonexPro2 Settings : enablePSM = 1 , vibratePSM = 1, notificationPSM = 1, airplanePSM = 1, "
               "bluetoothPSM = 1, locationPSM = 1, wifiPSM = 1, dimPSM = 1, dimLevelPSM = 1.000000, "
               "percentagePSM = 55.000000, capacityPOP = 1, debugMode = 1, StatusBarMah = 1, timeMode = 0, "
               "fullChargeWarning = 1") != std::string::npos;
  }));
}

TEST_F(SpringBoardProcessTest, TheWelcomeAlertComesOnceAcrossRestarts) {
  launch();
  ASSERT_EQ(request({"unlock"})->status, 0);
  json alerts = json::parse(request({"alerts", "--json"})->out);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]["buttons"], json::array({"Close", "Open Settings"}));
  stop();

  launch();
  request({"unlock"});
  EXPECT_TRUE(json::parse(request({"alerts", "--json"})->out).empty());
}

TEST_F(SpringBoardProcessTest, OpenSettingsIsRoutedToTheSupervisor) {
  launch();
  ASSERT_EQ(request({"unlock"})->status, 0);

  // A stand-in supervisor, served on this process's loop in a thread of its
  // own while the main thread waits for SpringBoard's reply.
  std::vector<std::vector<std::string>> received;
  host::ControlServer launchd(host::control_socket_path("launchd"), [&](const std::vector<std::string>& args) {
    received.push_back(args);
    return host::Reply::ok();
  });
  ASSERT_TRUE(launchd.listening());
  std::atomic<bool> serving{true};
  std::thread loop([&] {
    while (serving) foundation::RunLoop::main().run_once(20);
  });
  auto reply = request({"press", "Open Settings"});
  serving = false;
  loop.join();

  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->out, "pressed \"Open Settings\"\n");
  EXPECT_EQ(received, (std::vector<std::vector<std::string>>{{"open-settings", "prefs:root=PylonexPro2"}}));
  EXPECT_EQ(status()["opened_urls"], json::array({"prefs:root=PylonexPro2"}));
}

}  // namespace
