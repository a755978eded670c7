// The real Preferences binary on a temporary device with the staged bundle
// installed, driven over its control socket as simdevice drives it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "host/common/control_channel.h"
#include "host/common/value_json.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/temp_device.h"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

class PreferencesProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(PX_STAGE_DIR, device.root(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    m_pid = ::fork();
    if (m_pid == 0) {
      ::setenv("SIMDEVICE_ROOT", device.root().c_str(), 1);
      ::execl(PX_PREFERENCES_BIN, "Preferences", "--open", "prefs:root=PylonexPro2", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ASSERT_GT(m_pid, 0);
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline && !px::host::common::control_request(socket(), {"status"}, 1000)) ::usleep(20000);
  }
  void TearDown() override {
    if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  std::string socket() const { return px::host::common::control_socket_path("Preferences"); }
  px::host::common::Reply request(const std::vector<std::string>& args) {
    auto reply = px::host::common::control_request(socket(), args, 20000);
    return reply ? *reply : px::host::common::Reply::fail("no answer");
  }
  json json_of(const std::vector<std::string>& args) {
    auto r = request(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? json::parse(r.out) : json();
  }
  // A web page's state once its load has ended.
  json loaded(json page) {
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (page.is_object() && page["state"] == "loading" && Clock::now() < deadline) {
      ::usleep(20000);
      json screen = json_of({"show", "--json"});
      page = screen.contains("opened_page") ? screen["opened_page"] : screen["web_view"];
    }
    return page;
  }
  json row(const json& screen, const std::string& label) {
    for (auto& r : screen["rows"])
      if (r["label"] == label) return r;
    ADD_FAILURE() << "no row " << label << " in " << px::host::common::json_text(screen);
    return json();
  }

  px::tests::support::TempDevice device;
  pid_t m_pid = -1;
};

TEST_F(PreferencesProcess, RootPaneShowsHeaderLogoAndLikeButton) {
  json screen;
  auto deadline = Clock::now() + std::chrono::seconds(30);
  do {
    screen = json_of({"show", "--json"});
    if (!screen["navigation"]["title_view"].is_null()) break;
    ::usleep(50000);
  } while (Clock::now() < deadline);
  EXPECT_TRUE(screen["title"].is_null());
  EXPECT_EQ(screen["navigation"]["title_view"]["image"], "PylonexPro2min.png");
  EXPECT_EQ(screen["navigation"]["title_view"]["alpha"], 1.0);
  EXPECT_EQ(screen["navigation"]["right_button"]["image"], "love.png");
  ASSERT_EQ(screen["header"].size(), 2u);
  EXPECT_EQ(screen["header"][0], "PylonexPro 2");
  EXPECT_EQ(row(screen, "Battery Data")["kind"], "link");
  EXPECT_EQ(row(screen, "Follow @zelmoraq")["kind"], "button");

  // Follow with no Twitter client opens the web profile in the browser, which
  // shows the address and why the page did not load (nothing listens on port 9).
  px::platform::foundation::Value info = px::platform::foundation::dictionaryWithContentsOfFile(
      px::platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist"));
  info.mutable_dictionary()["PXSocialWebHost"] = "127.0.0.1:9";
  px::platform::foundation::writeToFile(
      info, px::platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist"));
  EXPECT_EQ(request({"tap", "Follow @zelmoraq"}).status, 0);
  json status = json_of({"status"});
  EXPECT_EQ(status["pid"], m_pid);
  EXPECT_EQ(status["opened_urls"], json::array({"http://127.0.0.1:9/zelmoraq"}));
  json page = loaded(json_of({"show", "--json"})["opened_page"]);
  EXPECT_EQ(page["app"], "Safari");
  EXPECT_EQ(page["address"], "http://127.0.0.1:9/zelmoraq");
  EXPECT_EQ(page["failure"], "could not load http://127.0.0.1:9/zelmoraq: connection refused");
  ASSERT_EQ(request({"back"}).status, 0);  // back to Settings, on the same pane
  screen = json_of({"show", "--json"});
  EXPECT_FALSE(screen.contains("opened_page"));
  EXPECT_EQ(row(screen, "Battery Data")["kind"], "link");
  EXPECT_NE(request({"open", "prefs:root=NoSuchThing"}).status, 0);

  // No account: the like button shows nothing, and the reply says why.
  auto heart = request({"tap", "right"});
  ASSERT_EQ(heart.status, 0);
  EXPECT_NE(heart.out.find("no Twitter account"), std::string::npos) << heart.out;
  EXPECT_EQ(json_of({"status"})["sheets"].size(), 0u);
  px::platform::foundation::writeToFile(
      px::platform::foundation::Value(px::platform::foundation::Dictionary{
          {"Value",
           px::platform::foundation::Value(px::platform::foundation::Dictionary{{"com.apple.social.twitter", true}})}}),
      px::platform::sim::DevicePath("/var/run/hardware/social.plist"));
  // With one, the compose sheet: the service's name, the text, Cancel and Post.
  ASSERT_EQ(request({"tap", "right"}).status, 0);
  json sheet = json_of({"show", "--json"})["sheet"];
  EXPECT_EQ(sheet["title"], "Twitter");
  EXPECT_EQ(sheet["buttons"], json::array({"Cancel", "Post"}));
  EXPECT_EQ(sheet["text"], "I'm Loving #PylonexPro2 by @zelmoraq, check it out on Cydia Store!");
  EXPECT_EQ(request({"sheet", "Send"}).status, 2);
  ASSERT_EQ(request({"sheet", "post"}).status, 0);
  status = json_of({"status"});
  ASSERT_EQ(status["posts"].size(), 1u);
  EXPECT_EQ(status["posts"][0]["service"], "Twitter");
  EXPECT_EQ(status["posts"][0]["text"], sheet["text"]);
  EXPECT_FALSE(json_of({"show", "--json"}).contains("sheet"));
  ASSERT_EQ(request({"tap", "right"}).status, 0);
  ASSERT_EQ(request({"sheet", "Cancel"}).status, 0);
  EXPECT_FALSE(json_of({"show", "--json"}).contains("sheet"));
  EXPECT_EQ(request({"sheet", "cancel"}).status, 1);  // nothing left to cancel
  status = json_of({"status"});
  EXPECT_EQ(status["posts"].size(), 1u);
  EXPECT_EQ(status["sheets"].size(), 2u);
}

TEST_F(PreferencesProcess, SwitchWritesTheSettingsFileAndPostsTheNotification) {
  px::platform::foundation::writeToFile(
      px::platform::foundation::Value(px::platform::foundation::Dictionary{{"debugMode", false}}),
      px::platform::sim::DevicePath("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist"));
  int posted = 0;
  px::platform::foundation::darwin::observe("com.zelmoraq.PylonexPro2Prefs/updatesettings",
                                            [&](std::string_view) { ++posted; });
  ASSERT_EQ(request({"tap", "Advanced Options"}).status, 0);
  json screen = json_of({"show", "--json"});
  EXPECT_EQ(screen["title"], "Advanced Options");
  EXPECT_EQ(row(screen, "Fahrenheit")["value"], false);
  EXPECT_EQ(row(screen, "Fahrenheit")["key"], "Fahrenheit");
  EXPECT_EQ(row(screen, "Debug Log")["value"], false);
  EXPECT_EQ(row(screen, "Clock")["value"], "24 Hours");

  auto r = request({"set", "Fahrenheit", "on"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto deadline = Clock::now() + std::chrono::seconds(30);
  while (posted == 0 && Clock::now() < deadline) px::platform::foundation::RunLoop::main().run_once(100);
  EXPECT_EQ(posted, 1);
  EXPECT_EQ(px::platform::foundation::dictionaryWithContentsOfFile(
                px::platform::sim::DevicePath("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist")),
            px::platform::foundation::Value(
                px::platform::foundation::Dictionary{{"debugMode", false}, {"Fahrenheit", true}}));
  EXPECT_EQ(row(json_of({"show", "--json"}), "Fahrenheit")["value"], true);
  EXPECT_EQ(request({"set", "Clock", "never"}).status, 2);
  EXPECT_EQ(request({"set", "Clock", "12 Hours"}).status, 0);
  EXPECT_EQ(px::platform::foundation::dictionaryWithContentsOfFile(px::platform::sim::DevicePath(
                "/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist"))["timemode"],
            px::platform::foundation::Value(0));
}

TEST_F(PreferencesProcess, SetRefusesWhatNoControlCouldHandOver) {
  const char* file = "/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist";
  ASSERT_EQ(request({"tap", "Power Saving Mode"}).status, 0);
  // A slider hands over finite numbers only: NaN once reached the file as <real>nan</real>.
  for (const char* not_finite : {"nan", "NaN", "inf", "-inf", "1e999"}) {
    auto r = request({"set", "Battery Percentage", not_finite});
    EXPECT_EQ(r.status, 2) << not_finite;
    EXPECT_NE(r.err.find("a slider takes a finite number"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(
      px::platform::foundation::dictionaryWithContentsOfFile(px::platform::sim::DevicePath(file))["percentagePSM"]
          .is_nil());
  ASSERT_EQ(request({"set", "Battery Percentage", "500"}).status, 0);  // past its end: the slider's maximum
  EXPECT_EQ(
      px::platform::foundation::dictionaryWithContentsOfFile(px::platform::sim::DevicePath(file))["percentagePSM"],
      px::platform::foundation::Value(100.0));
  // A row or value that is wrong is the command line's fault: status 2, whatever the row.
  EXPECT_EQ(request({"set", "Battery Percentage", "lots"}).status, 2);
  EXPECT_EQ(request({"set", "Wi-Fi Off", "maybe"}).status, 2);
  EXPECT_EQ(request({"set", "No Such Row", "on"}).status, 2);
  EXPECT_EQ(request({"tap", "No Such Row"}).status, 2);
}

TEST_F(PreferencesProcess, RespringAlertAndBackNavigation) {
  ASSERT_EQ(request({"tap", "Advanced Options"}).status, 0);
  ASSERT_EQ(request({"tap", "right"}).status, 0);
  json alerts = json_of({"alerts", "--json"});
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0]["buttons"], json::array({"Continue", "Close"}));
  // The alert is chosen by the same rule as SpringBoard's: a position that is no number is refused.
  EXPECT_EQ(request({"press", "Close", "--alert", "abc"}).status, 2);
  EXPECT_EQ(request({"press", "Close", "--alert", "-1"}).status, 2);
  ASSERT_EQ(json_of({"alerts", "--json"}).size(), 1u);
  auto pressed = request({"press", "Close"});
  ASSERT_EQ(pressed.status, 0);
  EXPECT_EQ(pressed.out, "pressed \"Close\"\n");
  EXPECT_EQ(json_of({"alerts", "--json"}).size(), 0u);
  ASSERT_EQ(request({"back"}).status, 0);
  ASSERT_EQ(request({"tap", "Data Sharing"}).status, 0);
  EXPECT_EQ(row(json_of({"show", "--json"}), "Last Sync")["value"], "Never Synced");
  // The installed bundle's Info.plist points the site at this machine, where nothing listens.
  px::platform::foundation::Value info = px::platform::foundation::dictionaryWithContentsOfFile(
      px::platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist"));
  info.mutable_dictionary()["PXStatisticsSiteURL"] = "http://127.0.0.1:9/stats";
  px::platform::foundation::writeToFile(
      info, px::platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist"));
  ASSERT_EQ(request({"tap", "See Statistics"}).status, 0);
  json web = loaded(json_of({"show", "--json"})["web_view"]);
  EXPECT_EQ(web["address"], "http://127.0.0.1:9/stats");
  EXPECT_EQ(web["state"], "failed");
  EXPECT_EQ(web["failure"], "could not load http://127.0.0.1:9/stats: connection refused");
  EXPECT_EQ(json_of({"status"})["web_views"], json::array({"http://127.0.0.1:9/stats"}));
  ASSERT_EQ(request({"close"}).status, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(m_pid, &status, 0), m_pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  m_pid = -1;
}

}  // namespace
