#include "host/springboard/springboard_classes.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/objc/native_class.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "shared/names.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Value;
using platform::objc::id;
using platform::objc::Imp;
using platform::objc::sel;

class HookTableTest : public TweakTest {
 protected:
  // Wraps SpringBoard's own implementation so the test sees when it runs.
  template <class... A>
  void probe_own(const char* cls, const char* selector, std::function<void()> probe) {
    platform::objc::Method* m = platform::objc::class_getOwnMethod(platform::objc::objc_getClass(cls), sel(selector));
    ASSERT_NE(m, nullptr);
    auto original = std::any_cast<Imp<void, A...>>(m->imp);
    m->imp = Imp<void, A...>([original, probe](id self, platform::objc::SEL cmd, A... args) {
      probe();
      original(self, cmd, args...);
    });
  }
};

TEST_F(HookTableTest, ObserverIsRegisteredBeforeSpringBoardsOwnLaunchCode) {
  std::size_t observers_when_own_code_ran = 0;
  auto& centre = platform::foundation::NSNotificationCenter::defaultCenter();
  std::size_t before = centre.observer_count();
  start(true, [&] {
    probe_own<id>("SpringBoard",
                  "applicationDidFinishLaunching:", [&] { observers_when_own_code_ran = centre.observer_count(); });
  });
  EXPECT_EQ(observers_when_own_code_ran, before + 1);
  EXPECT_EQ(sb().launches, 1);
}

TEST_F(HookTableTest, LaunchBroadcastIsCapturedBecauseTheObserverComesFirst) {
  platform::foundation::Dictionary entry{
      {"Level", Value(0.5)}, {"State", Value(1)}, {"Generation", Value(1)}, {"Status", Value(default_status())}};
  ASSERT_TRUE(platform::foundation::plist::write_file(m_device.path("/var/run/hardware/battery.plist"), Value(entry),
                                                      platform::foundation::plist::Format::xml));
  start();
  EXPECT_EQ(platform::foundation::dictionaryWithContentsOfFile(platform::sim::DevicePath(shared::kBatteryDataFile)),
            Value(default_status()));
}

TEST_F(HookTableTest, HooksInstalledAfterLaunchLeaveTheObserverUnregistered) {
  start_tweak_after_launch();
  broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  EXPECT_FALSE(m_device.exists(shared::kBatteryDataFile));

  // The other rows work all the same.
  host().unlock();
  ASSERT_EQ(platform::uikit::AlertPresenter::shared().visible().size(), 1u);
  EXPECT_EQ(platform::uikit::AlertPresenter::shared().visible()[0]->title(), "PylonexPro2");
  new_log_lines();
  set_battery(0.3);
  EXPECT_EQ(log_lines_containing("Battery Status Changed! ++++").size(), 1u);
}

TEST_F(HookTableTest, AClassSpringBoardLacksLeavesTheOtherRowsInstalled) {
  start(true, [] {
    // A SpringBoard without a status-bar aggregator.
    platform::objc::objc_reset_for_testing();
    host::springboard::register_application_classes();
    host::springboard::register_radio_classes();
    host::springboard::register_bulletin_classes();
  });
  broadcast(shared::kBatteryStatusChangedNotification, Value(default_status()));
  EXPECT_TRUE(m_device.exists(shared::kBatteryDataFile));
  host().unlock();
  EXPECT_EQ(platform::uikit::AlertPresenter::shared().visible().size(), 1u);
  EXPECT_EQ(sb().unlock_preparations, 1);
}

TEST_F(HookTableTest, AnOwnAlertDelegateMethodIsKeptOverTheAddedOne) {
  int own_calls = 0;
  start(true, [&] {
    platform::objc::class_addMethod<void, id, long>(
        platform::objc::objc_getClass("SBLockScreenViewController"), sel("alertView:clickedButtonAtIndex:"),
        Imp<void, id, long>([&](id, platform::objc::SEL, id, long) { ++own_calls; }));
  });
  host().unlock();
  ASSERT_TRUE(platform::uikit::AlertPresenter::shared().press(-1, 1));
  EXPECT_EQ(own_calls, 1);
  EXPECT_TRUE(platform::uikit::UIApplication::sharedApplication()->opened_urls().empty());
}

TEST_F(HookTableTest, SpringBoardsOwnMethodsRunOnEveryCall) {
  write_settings({{"statusbarMah", Value(true)}});
  start();
  int updates = sb().battery_updates;
  set_battery(0.5);
  set_battery(1.0);
  EXPECT_EQ(sb().battery_updates, updates + 2);
  int time_updates = sb().time_item_updates;
  int resets = sb().formatter_resets;
  host().tick(3, true);
  EXPECT_EQ(sb().time_item_updates, time_updates + 4);
  EXPECT_EQ(sb().formatter_resets, resets + 1);
  host().unlock();
  host().lock();
  host().unlock();
  EXPECT_EQ(sb().unlock_preparations, 2);
}

}  // namespace
}  // namespace px::tweak
