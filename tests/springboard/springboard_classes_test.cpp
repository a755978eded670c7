// SpringBoard's own classes, in-process, without any tweak.

#include "host/springboard/springboard_classes.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "host/springboard/battery_watcher.h"
#include "host/springboard/springboard_host.h"
#include "platform/foundation/date_formatter.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_device.h"
#include "shared/names.h"
#include "tests/support/temp_device.h"

namespace px::host::springboard {
namespace {

using platform::foundation::Value;
using platform::objc::id;
using platform::objc::sel;

class SpringBoardClassesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::foundation::RunLoop::main().set_clock(m_clock);
    register_springboard_classes();
  }
  id shared(const char* cls, const char* selector = "sharedInstance") {
    return platform::objc::msg_send<id>(platform::objc::objc_getClass(cls), sel(selector));
  }
  void add_banner(const std::string& title) {
    id request = platform::objc::msg_send<id>(
        platform::objc::msg_send<id>(platform::objc::objc_getClass("BBBulletinRequest"), sel("alloc")), sel("init"));
    platform::objc::msg_send<void>(request, sel("setTitle:"), title);
    platform::objc::msg_send<void>(request, sel("setMessage:"), std::string("m"));
    platform::objc::msg_send<void>(request, sel("setSectionID:"), std::string("s"));
    platform::objc::msg_send<void>(shared("SBBulletinBannerController"), sel("observer:addBulletin:forFeed:"), id{},
                                   request, 2UL);
  }
  void advance(std::int64_t ns) {
    m_clock->advance_ns(ns);
    platform::foundation::RunLoop::main().run_until_idle();
  }
  std::string on_screen() { return state().banner_on_screen ? state().banner_on_screen->title : ""; }

  tests::support::TempDevice m_device;
  std::shared_ptr<platform::foundation::ManualClock> m_clock = std::make_shared<platform::foundation::ManualClock>();
};

TEST_F(SpringBoardClassesTest, RadioManagersSwitchTheDevicesHardware) {
  platform::objc::msg_send<void>(shared("SBWiFiManager"), sel("setWiFiEnabled:"), false);
  platform::objc::msg_send<void>(shared("SBTelephonyManager", "sharedTelephonyManager"), sel("setIsInAirplaneMode:"),
                                 true);
  platform::objc::msg_send<void>(shared("BluetoothManager"), sel("setEnabled:"), false);
  EXPECT_EQ(platform::sim::hardware_value("wifi"), Value(false));
  EXPECT_EQ(platform::sim::hardware_value("airplane"), Value(true));
  EXPECT_EQ(platform::sim::hardware_value("bluetooth"), Value(false));
  EXPECT_EQ(shared("SBWiFiManager"), shared("SBWiFiManager"));
}

TEST_F(SpringBoardClassesTest, BulletinRequestKeepsItsProperties) {
  id request = platform::objc::msg_send<id>(platform::objc::objc_getClass("BBBulletinRequest"), sel("new"));
  id action = platform::objc::msg_send<id>(platform::objc::objc_getClass("BBAction"), sel("action"));
  platform::objc::msg_send<void>(request, sel("setTitle:"), std::string("T"));
  platform::objc::msg_send<void>(request, sel("setDefaultAction:"), action);
  EXPECT_EQ(platform::objc::msg_send<std::string>(request, sel("title")), "T");
  EXPECT_EQ(platform::objc::msg_send<id>(request, sel("defaultAction")), action);
  EXPECT_EQ(platform::objc::msg_send<id>(request, sel("autorelease")), request);
}

TEST_F(SpringBoardClassesTest, ABannerAddedWhileAnotherShowsWaitsForTheReplaceInterval) {
  add_banner("first");
  EXPECT_EQ(on_screen(), "first");
  add_banner("second");
  EXPECT_EQ(on_screen(), "first");
  advance(kBannerReplaceInterval);
  EXPECT_EQ(on_screen(), "second");
  advance(kBannerDismissInterval);
  EXPECT_EQ(on_screen(), "");
  ASSERT_EQ(state().banners_shown.size(), 2u);
  EXPECT_EQ(state().banners_shown[0], (Banner{"first", "m", "s"}));
}

TEST_F(SpringBoardClassesTest, DismissAddReplaceShowsANewBannerAtOnce) {
  add_banner("first");
  add_banner("waiting");
  platform::objc::msg_send<void>(shared("SBBannerController"), sel("_dismissIntervalElapsed"));
  EXPECT_EQ(on_screen(), "waiting");
  add_banner("urgent");
  platform::objc::msg_send<void>(shared("SBBannerController"), sel("_replaceIntervalElapsed"));
  EXPECT_EQ(on_screen(), "urgent");
  EXPECT_TRUE(state().banners_waiting.empty());
}

TEST_F(SpringBoardClassesTest, TimeItemUsesSpringBoardsPatternAndTheDeviceClock) {
  id aggregator = shared("SBStatusBarStateAggregator");
  platform::objc::Ivar ivar =
      platform::objc::class_getInstanceVariable(platform::objc::object_getClass(aggregator), "_timeItemDateFormatter");
  auto formatter =
      platform::objc::cast<platform::foundation::NSDateFormatter>(platform::objc::object_getIvar<id>(aggregator, ivar));
  ASSERT_NE(formatter, nullptr);
  formatter->setDateFormat("yyyy");
  platform::objc::msg_send<void>(aggregator, sel("_resetTimeItemFormatter"));
  EXPECT_EQ(formatter->dateFormat(), "H:mm");

  std::tm tm{};
  tm.tm_year = 126, tm.tm_mon = 5, tm.tm_mday = 1, tm.tm_hour = 14, tm.tm_min = 5, tm.tm_isdst = -1;
  platform::sim::set_device_now(static_cast<double>(std::mktime(&tm)) + 30);
  platform::objc::msg_send<void>(aggregator, sel("_updateTimeItems"));
  EXPECT_EQ(state().status_bar_time, "14:05");
}

TEST_F(SpringBoardClassesTest, BatteryEntryIsBroadcastThenHandedToTheController) {
  std::vector<Value> seen;
  int updates_when_posted = -1;
  platform::foundation::NSNotificationCenter::defaultCenter().addObserverForName(
      std::string(shared::kBatteryStatusChangedNotification), nullptr,
      [&](const platform::foundation::NSNotification& n) {
        seen.push_back(n.userInfo);
        updates_when_posted = state().battery_updates;
      });
  EXPECT_FALSE(handle_battery_entry());  // no entry yet

  Value status(platform::foundation::Dictionary{{"AppleRawCurrentCapacity", Value(1500)}});
  platform::foundation::Dictionary entry{
      {"Level", Value(0.5)}, {"State", Value(2)}, {"Generation", Value(7)}, {"Status", status}};
  BatteryWatcher watcher;
  ASSERT_TRUE(platform::foundation::plist::write_file(m_device.path(platform::sim::kBatteryEntry), Value(entry),
                                                      platform::foundation::plist::Format::xml));
  watcher.drain();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], status);
  EXPECT_EQ(updates_when_posted, 0);
  EXPECT_EQ(state().battery_updates, 1);
  EXPECT_EQ(state().battery_generation, 7);

  entry.erase("Status");
  entry["Generation"] = Value(8);
  ASSERT_TRUE(platform::foundation::plist::write_file(m_device.path(platform::sim::kBatteryEntry), Value(entry),
                                                      platform::foundation::plist::Format::xml));
  watcher.drain();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[1].is_nil());
  EXPECT_EQ(state().battery_generation, 8);
}

// Opens of the battery entry seen by the kernel while `work` runs.
template <class F>
int opens_of_battery_entry(const std::string& folder, F work) {
  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ::inotify_add_watch(fd, folder.c_str(), IN_OPEN);
  work();
  int opens = 0;
  alignas(inotify_event) char buf[4096];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
    for (char* p = buf; p < buf + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
      if (std::string(reinterpret_cast<inotify_event*>(p)->name) == platform::sim::kBatteryEntryName) ++opens;
  ::close(fd);
  return opens;
}

TEST_F(SpringBoardClassesTest, OneBatteryChangeIsReadOnceWhoeverAsks) {
  BatteryWatcher watcher;
  auto device = platform::uikit::UIDevice::currentDevice();
  device->setBatteryMonitoringEnabled(true);
  platform::foundation::Dictionary entry{{"Level", Value(0.5)}, {"State", Value(2)}, {"Generation", Value(3)}};
  std::string folder = m_device.path(platform::sim::kHardwareFolder);
  for (int generation : {3, 4}) {
    entry["Generation"] = Value(generation);
    ASSERT_TRUE(platform::foundation::plist::write_file(m_device.path(platform::sim::kBatteryEntry), Value(entry),
                                                        platform::foundation::plist::Format::xml));
    // The watcher's broadcast, then what the tweak and SpringBoard ask while handling it: once read
    // four times per change.
    int opens = opens_of_battery_entry(folder, [&] {
      watcher.drain();
      EXPECT_FLOAT_EQ(device->batteryLevel(), 0.5f);
      EXPECT_EQ(device->batteryState(), 2);
      EXPECT_EQ(platform::sim::battery_entry()["Generation"], Value(generation));
    });
    EXPECT_EQ(opens, 1) << "generation " << generation;
    EXPECT_EQ(state().battery_generation, generation);
  }
}

}  // namespace
}  // namespace px::host::springboard
