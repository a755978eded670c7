// The whole device: supervisor, SpringBoard with the tweak and the Settings
// app, each a real process. A change in a pane reaches the running tweak,
// and "Continue" restarts SpringBoard, whose new tweak reads the current file.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "host/common/control_channel.h"
#include "tests/support/temp_device.h"

namespace {

using Clock = std::chrono::steady_clock;

int run_simdevice(const std::string& root, const std::vector<std::string>& args) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("SIMDEVICE_ROOT", root.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>("simdevice")};
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(PX_SIMDEVICE_BIN, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class WholeDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(run_simdevice(device.root(), {"install", PX_STAGE_DIR}), 0);
    ASSERT_EQ(run_simdevice(device.root(), {"boot"}), 0);
  }
  void TearDown() override { run_simdevice(device.root(), {"shutdown"}); }

  px::host::common::Reply settings(const std::vector<std::string>& args) {
    auto r = px::host::common::control_request(px::host::common::control_socket_path("Preferences"), args, 20000);
    return r ? *r : px::host::common::Reply::fail("no answer");
  }
  // Waits for a SpringBoard settings line holding `text` from a SpringBoard other than `not_pid`.
  bool wait_for_reload(const std::string& text, std::size_t after_bytes) {
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
      std::string log = device.read_text("/var/log/syslog");
      for (auto at = log.find("PylonexPro2 Settings :", after_bytes); at != std::string::npos;
           at = log.find("PylonexPro2 Settings :", at + 1)) {
        auto end = log.find('\n', at);
        if (log.substr(at, end - at).find(text) != std::string::npos) return true;
      }
      ::usleep(50000);
    }
    return false;
  }
  long springboard_pid() {
    auto r = px::host::common::control_request(px::host::common::control_socket_path("launchd"), {"status"}, 10000);
    if (!r || r->status != 0) return 0;
    auto j = nlohmann::json::parse(r->out, nullptr, false);
    return j.is_object() && j["springboard"]["pid"].is_number() ? j["springboard"]["pid"].get<long>() : 0;
  }

  px::tests::support::TempDevice device;
};

TEST_F(WholeDevice, PaneChangeReloadsTheTweakAndContinueRestartsSpringBoard) {
  auto opened = px::host::common::control_request(px::host::common::control_socket_path("launchd"),
                                                  {"open-settings", "prefs:root=PylonexPro2"}, 30000);
  ASSERT_TRUE(opened && opened->status == 0) << (opened ? opened->err : "no answer");
  ASSERT_EQ(settings({"tap", "Advanced Options"}).status, 0);

  std::size_t mark = device.read_text("/var/log/syslog").size();
  ASSERT_EQ(settings({"set", "Capacity In Status Bar", "off"}).status, 0);
  EXPECT_TRUE(wait_for_reload("StatusBarMah = 0", mark));

  long before = springboard_pid();
  ASSERT_GT(before, 0);
  ASSERT_EQ(settings({"tap", "right"}).status, 0);
  mark = device.read_text("/var/log/syslog").size();
  ASSERT_EQ(settings({"press", "Continue"}).status, 0);
  auto deadline = Clock::now() + std::chrono::seconds(30);
  long after = 0;
  while (Clock::now() < deadline && ((after = springboard_pid()) == 0 || after == before)) ::usleep(50000);
  EXPECT_NE(after, before);
  EXPECT_TRUE(wait_for_reload("StatusBarMah = 0", mark));
}

}  // namespace
