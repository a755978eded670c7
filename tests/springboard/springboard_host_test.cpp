// The SpringBoard process around its classes, in-process: the Substrate
// loader's filters, safe mode, lock and unlock, and the control commands.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "host/springboard/springboard_host.h"
#include "host/springboard/springboard_state.h"
#include "host/springboard/substrate_loader.h"
#include "platform/activator/la_activator.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/uikit/ui_alert_view.h"
#include "tests/support/temp_device.h"

namespace px::host::springboard {
namespace {

using nlohmann::json;

class SpringBoardHostTest : public ::testing::Test {
 protected:
  std::unique_ptr<SpringBoardHost> make(bool safe_mode = false, bool load = false) {
    auto h = std::make_unique<SpringBoardHost>(
        HostOptions{.safe_mode = safe_mode, .load_tweaks = load, .control_socket = false});
    h->launch();
    return h;
  }
  common::Reply run(SpringBoardHost& h, std::vector<std::string> args) { return h.handle_command(args); }
  json status(SpringBoardHost& h) { return json::parse(run(h, {"status"}).out); }
  void show_alert(const char* title) {
    platform::uikit::UIAlertView::make(title, "message", nullptr, "Close", {"Other"})->show();
  }
  std::string substrate(const std::string& file) { return m_device.path(std::string(kSubstrateFolder) + "/" + file); }

  tests::support::TempDevice m_device;
};

TEST_F(SpringBoardHostTest, FilterMustNameTheBundleInFilterBundles) {
  std::filesystem::create_directories(m_device.path(kSubstrateFolder));
  struct Case {
    const char* text;
    bool selects;
  } cases[] = {
      {"<plist><dict><key>Filter</key><dict><key>Bundles</key><array><string>com.apple.springboard</string>"
       "</array></dict></dict></plist>",
       true},
      {"<plist><dict><key>Filter</key><dict><key>Bundles</key><array><string>com.apple.Preferences</string>"
       "</array></dict></dict></plist>",
       false},
      {"{ Filter = { Bundles = ( 1, 2 ); }; }", false},
      {"<plist><dict><key>Filter</key><string>com.apple.springboard</string></dict></plist>", false},
      {"<plist><dict><key>Filter</key><dict><key>Bundles</key><string>com.apple.springboard</string></dict></dict>"
       "</plist>",
       false},
      {"<plist><array><string>com.apple.springboard</string></array></plist>", false},
      {"", false},
      {"\x00\x01garbage", false},
      {"bplist00\xff\xff\xff", false},
  };
  for (const auto& c : cases) {
    m_device.write_text(std::string(kSubstrateFolder) + "/X.plist", c.text);
    EXPECT_EQ(filter_selects(substrate("X.plist"), "com.apple.springboard"), c.selects) << c.text;
  }
  EXPECT_FALSE(filter_selects(substrate("Missing.plist"), "com.apple.springboard"));
}

TEST_F(SpringBoardHostTest, LoaderSkipsLibrariesWithoutAMatchingFilter) {
  std::filesystem::create_directories(m_device.path(kSubstrateFolder));
  m_device.write_text(std::string(kSubstrateFolder) + "/NoFilter.dylib", "not a library");
  m_device.write_text(std::string(kSubstrateFolder) + "/Broken.dylib", "not a library");
  m_device.write_text(std::string(kSubstrateFolder) + "/Broken.plist", "<plist><dict>");
  auto h = make(false, true);
  EXPECT_TRUE(status(*h)["tweaks"].empty());
  std::string log = m_device.read_text("/var/log/syslog");
  EXPECT_NE(log.find("MobileSubstrate: skipping NoFilter.dylib"), std::string::npos);
  EXPECT_NE(log.find("MobileSubstrate: skipping Broken.dylib"), std::string::npos);
}

TEST_F(SpringBoardHostTest, SafeModeLoadsNothingAndSaysSo) {
  std::filesystem::create_directories(m_device.path(kSubstrateFolder));
  auto h = make(true, true);
  json s = status(*h);
  EXPECT_TRUE(s["safe_mode"].get<bool>());
  EXPECT_TRUE(s["tweaks"].empty());
  ASSERT_EQ(s["alerts"].size(), 1u);
  EXPECT_EQ(s["alerts"][0], (json{{"title", "SpringBoard"},
                                  {"message",
                                   "SpringBoard is in Safe Mode because of repeated crashes. Tweaks are not loaded. "
                                   "Respring to leave Safe Mode."},
                                  {"buttons", {"OK"}}}));
}

TEST_F(SpringBoardHostTest, StartsLockedAndUnlockPreparesOnce) {
  auto h = make();
  json s = status(*h);
  EXPECT_TRUE(s["launched"].get<bool>());
  EXPECT_TRUE(s["locked"].get<bool>());
  EXPECT_EQ(run(*h, {"unlock"}).out, "unlocked\n");
  EXPECT_FALSE(status(*h)["locked"].get<bool>());
  run(*h, {"unlock"});
  EXPECT_EQ(state().unlock_preparations, 1);
  run(*h, {"lock"});
  EXPECT_TRUE(status(*h)["locked"].get<bool>());
}

TEST_F(SpringBoardHostTest, PressFindsButtonsByIndexOrTitleOnTheChosenAlert) {
  auto h = make();
  show_alert("A");
  show_alert("B");
  EXPECT_EQ(json::parse(run(*h, {"alerts", "--json"}).out).size(), 2u);
  EXPECT_EQ(run(*h, {"press", "Other", "--alert", "0"}).out, "pressed \"Other\"\n");
  auto visible = platform::uikit::AlertPresenter::shared().visible();
  ASSERT_EQ(visible.size(), 1u);
  EXPECT_EQ(visible[0]->title(), "B");
  EXPECT_EQ(run(*h, {"press", "7"}).status, 1);
  EXPECT_EQ(run(*h, {"press", "Nope"}).status, 1);
  EXPECT_EQ(run(*h, {"press", "--alert", "x"}).status, 2);
  EXPECT_EQ(run(*h, {"press", "0"}).status, 0);
  EXPECT_EQ(run(*h, {"press", "0"}).err, "no alert on screen");
  EXPECT_EQ(run(*h, {"alerts"}).out, "no alerts\n");
}

TEST_F(SpringBoardHostTest, ClockAndTickReportTheStatusBarText) {
  auto h = make();
  EXPECT_EQ(run(*h, {"clock", "09:41"}).out, "9:41\n");
  EXPECT_EQ(run(*h, {"tick", "2", "--reset"}).out, "9:41\n");
  EXPECT_EQ(status(*h)["status_bar_time"], "9:41");
  EXPECT_EQ(run(*h, {"clock", "soon"}).status, 2);
  EXPECT_EQ(run(*h, {"tick", "many"}).status, 2);
}

TEST_F(SpringBoardHostTest, ClockReadsEveryFormTheCommandLineDoes) {
  auto h = make();
  // Once refused here ("cannot read the time") though simdevice took it with SpringBoard stopped.
  auto reply = run(*h, {"clock", "2015-03-08T07:30:00Z"});
  ASSERT_EQ(reply.status, 0) << reply.err;
  EXPECT_NEAR(platform::sim::device_now(), 1425799800.0, 5);
  EXPECT_EQ(run(*h, {"clock", "2015-03-08T07:30:00+01:00"}).status, 0);
  EXPECT_NEAR(platform::sim::device_now(), 1425796200.0, 5);
  EXPECT_EQ(run(*h, {"clock", "2015-03-08", "07:30"}).status, 0);  // the CLI may hand it over in two words
  reply = run(*h, {"clock", "2070-01-01T00:00:00Z"});
  EXPECT_EQ(reply.status, 2);
  EXPECT_NE(reply.err.find("outside the dates the device can hold"), std::string::npos) << reply.err;
}

TEST_F(SpringBoardHostTest, ActivatorNeedsARegisteredListener) {
  auto h = make();
  auto reply = run(*h, {"activator", "com.example.nobody"});
  EXPECT_EQ(reply.status, 1);
  EXPECT_EQ(reply.err, "no listener registered for com.example.nobody");
}

TEST_F(SpringBoardHostTest, SyncReportsTheHandledGenerationAndUnknownCommandsFail) {
  auto h = make();
  EXPECT_EQ(run(*h, {"sync"}).out, "0\n");
  EXPECT_EQ(run(*h, {"dance"}).status, 2);
  EXPECT_EQ(run(*h, {}).status, 2);
}

}  // namespace
}  // namespace px::host::springboard
