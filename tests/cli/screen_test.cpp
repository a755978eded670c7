#include "host/cli/screen.h"

#include "host/status/device_status.h"

#include <gtest/gtest.h>

namespace px::host::cli {
namespace {

using nlohmann::json;

json running_device() {
  return json::parse(R"({
    "running": true,
    "springboard": {"pid": 42, "launched": true, "safe_mode": false, "restarts": 0},
    "hardware": {"battery": {"level": 0.42, "state": "charging"}, "wifi": false, "bluetooth": true,
                 "airplane": true, "location": false, "brightness": 0.25, "vibrations": 1},
    "locked": true, "status_bar_time": "14:05 - 1500 mAh",
    "alerts": [{"title": "PylonexPro2", "message": "Your Battery is now Fully Charged!", "buttons": ["OK"]}],
    "banners": [{"title": "PylonexPro2", "message": "PowerSavingMode Activated!", "section": "com.apple.Preferences"}],
    "opened_urls": [], "settings": {"pid": null}
  })");
}

std::size_t columns(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string all;
  for (auto& l : lines) all += l + "\n";
  return all;
}

TEST(Screen, FitsAnEightyByTwentyFourTerminal) {
  auto lines = render_screen(running_device(), nullptr);
  ASSERT_EQ(lines.size(), 24u);
  for (auto& l : lines) EXPECT_EQ(columns(l), 80u) << l;
}

TEST(Screen, ShowsStatusBarAlertBannerAndSwitches) {
  std::string all = joined(render_screen(running_device(), nullptr));
  EXPECT_NE(all.find("14:05 - 1500 mAh"), std::string::npos);
  EXPECT_NE(all.find("42% +chg"), std::string::npos);
  EXPECT_NE(all.find("AIRPLANE"), std::string::npos);
  EXPECT_NE(all.find("slide to unlock"), std::string::npos);
  EXPECT_NE(all.find("ALERT: PylonexPro2"), std::string::npos);
  EXPECT_NE(all.find("Your Battery is now Fully Charged!"), std::string::npos);
  EXPECT_NE(all.find("[0: OK]"), std::string::npos);
  EXPECT_NE(all.find("BANNER: PylonexPro2 - PowerSavingMode Activated!"), std::string::npos);
  EXPECT_NE(all.find("Wi-Fi off | Bluetooth on | Airplane on | Location off | Bright 25% | Vibr 1"), std::string::npos);
}

TEST(Screen, StatusBarPercentIsTheAddOnsNotARoundedOne) {
  auto s = running_device();
  s["hardware"]["battery"]["level"] = 0.199;
  EXPECT_NE(joined(render_screen(s, nullptr)).find("19% +chg"), std::string::npos);
}

TEST(Screen, HomeScreenSafeModeAndStoppedDevice) {
  auto s = running_device();
  s["locked"] = false;
  s["springboard"]["safe_mode"] = true;
  std::string home = joined(render_screen(s, nullptr));
  EXPECT_NE(home.find("Home screen"), std::string::npos);
  EXPECT_NE(home.find("SAFE MODE"), std::string::npos);
  s["running"] = false;
  EXPECT_NE(joined(render_screen(s, nullptr)).find("device is off"), std::string::npos);
}

TEST(Screen, SettingsPaneRowsReplaceTheHomeScreen) {
  auto pane = json::parse(R"({"title": "Battery Data", "rows": [
    {"index": 0, "label": "Capacity", "kind": "group"},
    {"index": 1, "label": "Current Capacity", "kind": "value", "value": "1500 mAh"},
    {"index": 2, "label": "Temperature", "kind": "value", "value": "30.50 °C"},
    {"index": 3, "label": "Cable Info", "kind": "link"}]})");
  auto lines = render_screen(running_device(), pane);
  std::string all = joined(lines);
  EXPECT_NE(all.find("Settings > Battery Data"), std::string::npos);
  EXPECT_NE(all.find("Current Capacity:  1500 mAh"), std::string::npos);
  EXPECT_NE(all.find("30.50 °C"), std::string::npos);
  for (auto& l : lines) EXPECT_EQ(columns(l), 80u) << l;  // the degree sign is one column
}

TEST(Screen, LongAndMultiLineTextIsCutNotWrappedOut) {
  auto s = running_device();
  s["alerts"][0]["message"] = std::string(300, 'x') + "\nsecond line\nthird\nfourth\nfifth\nsixth";
  auto lines = render_screen(s, nullptr);
  ASSERT_EQ(lines.size(), 24u);
  for (auto& l : lines) EXPECT_EQ(columns(l), 80u);
  EXPECT_EQ(fit("héllo", 3), "hél");
  EXPECT_EQ(fit("ab", 4), "ab  ");
}

}  // namespace
}  // namespace px::host::cli

namespace px::host::cli {
namespace {

// A status document from an older or partial peer misses fields: the description reads them as absent.
TEST(DeviceStatusText, AStatusMissingItsFieldsIsDescribedNotACrash) {
  json partial = running_device();
  partial.erase("accounts");
  partial.erase("settings");
  partial.erase("hardware");
  const std::string text = status::describe_device_status(partial);
  EXPECT_NE(text.find("Accounts:    none"), std::string::npos) << text;
  EXPECT_NE(text.find("level unknown"), std::string::npos) << text;
  EXPECT_NE(text.find("Settings:    closed"), std::string::npos) << text;
}

}  // namespace
}  // namespace px::host::cli
