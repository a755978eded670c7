#include "platform/foundation/user_defaults.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {

using platform::foundation::Value;

const char* kWelcome =
    "Thanks for the purchase! PylonexPro2 was installed correctly on your device, to enable it or set it go to "
    "Settings > PylonexPro2.";

class WelcomeAlertTest : public TweakTest {
 protected:
  const std::vector<std::shared_ptr<platform::uikit::UIAlertView>>& alerts() {
    return platform::uikit::AlertPresenter::shared().visible();
  }
  const std::vector<std::string>& opened() {
    return platform::uikit::UIApplication::sharedApplication()->opened_urls();
  }
  bool saved_flag() {
    return platform::foundation::NSUserDefaults("com.apple.springboard").boolForKey("HasLaunchedOnce");
  }
  void store_flag(bool value) {
    platform::foundation::NSUserDefaults d("com.apple.springboard");
    d.setBool(value, "HasLaunchedOnce");
    ASSERT_TRUE(d.synchronize());
  }
};

TEST_F(WelcomeAlertTest, FirstUnlockSavesTheFlagShowsTheAlertThenUnlocks) {
  start();
  host().unlock();
  EXPECT_TRUE(saved_flag());
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0]->title(), "PylonexPro2");
  EXPECT_EQ(alerts()[0]->message(), kWelcome);
  EXPECT_EQ(alerts()[0]->buttons(), (std::vector<std::string>{"Close", "Open Settings"}));
  EXPECT_EQ(alerts()[0]->delegate(), host::springboard::shared_instance("SBLockScreenViewController"));
  EXPECT_EQ(sb().unlock_preparations, 1);
  EXPECT_EQ(sb().alerts_at_last_unlock_preparation, 1u);
}

TEST_F(WelcomeAlertTest, LaterUnlocksOnlyUnlock) {
  start();
  host().unlock();
  platform::uikit::AlertPresenter::shared().press(-1, 0);
  host().lock();
  host().unlock();
  EXPECT_TRUE(alerts().empty());
  EXPECT_EQ(sb().unlock_preparations, 2);
}

TEST_F(WelcomeAlertTest, AStoredNoIsStillDue) {
  store_flag(false);
  start();
  host().unlock();
  EXPECT_EQ(alerts().size(), 1u);
}

TEST_F(WelcomeAlertTest, AStoredYesNeverGreets) {
  store_flag(true);
  start();
  host().unlock();
  EXPECT_TRUE(alerts().empty());
  EXPECT_EQ(sb().unlock_preparations, 1);
}

TEST_F(WelcomeAlertTest, OpenSettingsOpensThePaneAndCloseOpensNothing) {
  start();
  host().unlock();
  platform::uikit::AlertPresenter::shared().press(-1, 0);
  EXPECT_TRUE(opened().empty());

  store_flag(false);
  restart();
  host().unlock();
  platform::uikit::AlertPresenter::shared().press(-1, 1);
  EXPECT_EQ(opened(), std::vector<std::string>{"prefs:root=PylonexPro2"});
}

TEST_F(WelcomeAlertTest, TheFlagSurvivesASpringBoardRestart) {
  start();
  host().unlock();  // never answered
  restart();
  EXPECT_TRUE(saved_flag());
  host().unlock();
  EXPECT_TRUE(alerts().empty());
}

}  // namespace
}  // namespace px::tweak
