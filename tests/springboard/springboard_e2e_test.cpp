// The real SpringBoard binary on a temporary device root, driven across
// processes: commands over the control socket, a settings change posted from
// this process. (A battery change's walk through the whole device, supervisor
// included: tests/cli/battery_e2e_test.cpp.)

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
#include "platform/foundation/run_loop.h"
#include "platform/foundation/property_list_files.h"
#include "shared/names.h"
#include "tests/support/eventually.h"
#include "tests/support/temp_device.h"

extern char** environ;

namespace {

using nlohmann::json;
using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;

using px::tests::support::eventually;

class SpringBoardProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = m_device.path("/Library/MobileSubstrate/DynamicLibraries");
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(PX_TWEAK_DYLIB, folder + "/PylonexPro2.dylib");
    std::filesystem::copy_file(PX_TWEAK_FILTER, folder + "/PylonexPro2.plist");
  }
  void TearDown() override { stop(); }

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

  std::optional<px::host::common::Reply> request(const std::vector<std::string>& args) {
    return px::host::common::control_request(px::host::common::control_socket_path("SpringBoard"), args, 5000);
  }
  json status() { return json::parse(request({"status"}).value_or(px::host::common::Reply{}).out); }

  px::tests::support::TempDevice m_device;
  pid_t m_pid = -1;
};

TEST_F(SpringBoardProcessTest, SettingsWrittenAndPostedFromAnotherProcessAreReloaded) {
  launch();
  px::platform::foundation::writeToFile(Value(Dictionary{{"percentagePSM", Value(55.0)}, {"timemode", Value(0)}}),
                                        px::platform::sim::DevicePath(px::shared::kSettingsFile));
  ASSERT_TRUE(px::platform::foundation::darwin::post(px::shared::kSettingsChangedNotification));
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
  px::host::common::ControlServer launchd(px::host::common::control_socket_path("launchd"),
                                          [&](const std::vector<std::string>& args) {
                                            received.push_back(args);
                                            return px::host::common::Reply::ok();
                                          });
  ASSERT_TRUE(launchd.listening());
  std::atomic<bool> serving{true};
  std::thread loop([&] {
    while (serving) px::platform::foundation::RunLoop::main().run_once(20);
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
