// The UIKit, Activator, CoreLocation and AudioToolbox stand-ins as the tweak
// and SpringBoard rely on them.

#include <gtest/gtest.h>

#include <cmath>

#include <filesystem>

#include "platform/activator/la_activator.h"
#include "platform/audiotoolbox/audio_services.h"
#include "platform/corelocation/cl_location_manager.h"
#include "platform/foundation/property_list.h"
#include "platform/objc/native_class.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_screen.h"
#include "tests/support/temp_device.h"

namespace {

using px::platform::foundation::Value;
using px::platform::objc::id;
using px::platform::objc::Imp;
using px::platform::objc::sel;

class StandInTest : public ::testing::Test {
 protected:
  px::tests::support::TempDevice m_device;
};

// A delegate whose methods are added at run time, as the tweak adds them.
id delegate_recording(std::vector<std::string>& calls) {
  px::platform::objc::Class cls =
      px::platform::objc::define_class("RecordingDelegate", px::platform::objc::NSObject_class());
  px::platform::objc::class_addMethod<void, id, long>(
      cls, sel("alertView:clickedButtonAtIndex:"),
      Imp<void, id, long>([&calls](id, px::platform::objc::SEL, id, long index) {
        calls.push_back("clicked " + std::to_string(index) + " visible " +
                        std::to_string(px::platform::uikit::AlertPresenter::shared().visible().size()));
      }));
  px::platform::objc::class_addMethod<void, id, long>(
      cls, sel("alertView:didDismissWithButtonIndex:"),
      Imp<void, id, long>([&calls](id, px::platform::objc::SEL, id, long index) {
        calls.push_back("dismissed " + std::to_string(index) + " visible " +
                        std::to_string(px::platform::uikit::AlertPresenter::shared().visible().size()));
      }));
  return px::platform::objc::class_new(cls);
}

TEST_F(StandInTest, AlertButtonIndexesFollowTheCancelButton) {
  auto both = px::platform::uikit::UIAlertView::make("t", "m", nullptr, "Close", {"Other"});
  EXPECT_EQ(both->cancelButtonIndex(), 0);
  EXPECT_EQ(both->firstOtherButtonIndex(), 1);
  auto cancel_only = px::platform::uikit::UIAlertView::make("t", "m", nullptr, "OK", {});
  EXPECT_EQ(cancel_only->firstOtherButtonIndex(), -1);
  auto other_only = px::platform::uikit::UIAlertView::make("t", "m", nullptr, std::nullopt, {"Go"});
  EXPECT_EQ(other_only->cancelButtonIndex(), -1);
  EXPECT_EQ(other_only->firstOtherButtonIndex(), 0);
}

TEST_F(StandInTest, PressingCallsClickedThenDismissedWithTheAlertOffScreenBetween) {
  std::vector<std::string> calls;
  id delegate = delegate_recording(calls);
  {
    // The creator gives up its reference at once; the presenter keeps the alert.
    px::platform::uikit::UIAlertView::make("t", "m", delegate, "Close", {"Other"})->show();
  }
  ASSERT_EQ(px::platform::uikit::AlertPresenter::shared().visible().size(), 1u);
  EXPECT_FALSE(px::platform::uikit::AlertPresenter::shared().press(-1, 2));
  ASSERT_TRUE(px::platform::uikit::AlertPresenter::shared().press(-1, 1));
  EXPECT_EQ(calls, (std::vector<std::string>{"clicked 1 visible 1", "dismissed 1 visible 0"}));
}

TEST_F(StandInTest, ApplicationOpensKnownSchemesAndRoutesThem) {
  std::filesystem::create_directories(m_device.path("/Applications/Tweetbot.app"));
  px::platform::foundation::Value info(px::platform::foundation::Dictionary{
      {"CFBundleURLTypes", Value(px::platform::foundation::Array{Value(px::platform::foundation::Dictionary{
                               {"CFBundleURLSchemes", Value(px::platform::foundation::Array{Value("Tweetbot")})}})})}});
  ASSERT_TRUE(px::platform::foundation::plist::write_file(m_device.path("/Applications/Tweetbot.app/Info.plist"), info,
                                                          px::platform::foundation::plist::Format::xml));
  auto app = px::platform::uikit::UIApplication::sharedApplication();
  std::vector<std::string> routed;
  app->set_router([&](const std::string& url) { routed.push_back(url); });
  EXPECT_TRUE(app->canOpenURL("tweetbot:///user_profile/x"));
  EXPECT_TRUE(app->canOpenURL("prefs:root=PylonexPro2"));
  EXPECT_FALSE(app->canOpenURL("tweetings:///user?screen_name=x"));
  EXPECT_TRUE(app->openURL("prefs:root=PylonexPro2"));
  EXPECT_FALSE(app->openURL("tweetings:///x"));
  EXPECT_EQ(app->opened_urls(), std::vector<std::string>{"prefs:root=PylonexPro2"});
  EXPECT_EQ(routed, app->opened_urls());
}

TEST_F(StandInTest, BatteryReadsTheEntryOnlyWhileMonitoring) {
  px::platform::foundation::Dictionary entry{{"Level", Value(0.42)}, {"State", Value(2)}};
  ASSERT_TRUE(px::platform::foundation::plist::write_file(m_device.path(px::platform::sim::kBatteryEntry), Value(entry),
                                                          px::platform::foundation::plist::Format::xml));
  auto device = px::platform::uikit::UIDevice::currentDevice();
  EXPECT_EQ(device->batteryLevel(), -1.0f);
  device->setBatteryMonitoringEnabled(true);
  EXPECT_FLOAT_EQ(device->batteryLevel(), 0.42f);
  EXPECT_EQ(device->batteryState(), px::platform::uikit::UIDeviceBatteryStateCharging);
}

TEST_F(StandInTest, PowerSavingSwitchesLandInTheHardwareState) {
  EXPECT_TRUE(px::platform::corelocation::CLLocationManager::locationServicesEnabled());
  px::platform::objc::msg_send<void>(px::platform::corelocation::CLLocationManager::runtime_class(),
                                     sel("setLocationServicesEnabled:"), false);
  EXPECT_EQ(px::platform::sim::hardware_value("location"), Value(false));

  auto screen = px::platform::uikit::UIScreen::mainScreen();
  screen->setBrightness(0.25);
  EXPECT_EQ(screen->brightness(), 0.25);
  // A brightness that is not a finite number changes nothing; finite ones end at 0 and 1.
  for (double not_finite : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    screen->setBrightness(not_finite);
    EXPECT_EQ(px::platform::sim::hardware_value("brightness"), Value(0.25)) << not_finite;
  }
  screen->setBrightness(-0.5);
  EXPECT_EQ(screen->brightness(), 0.0);
  screen->setBrightness(1.5);
  EXPECT_EQ(screen->brightness(), 1.0);

  AudioServicesPlaySystemSound(1007);
  EXPECT_TRUE(px::platform::sim::hardware_value("vibrations").is_nil());
  AudioServicesPlaySystemSound(px::platform::audiotoolbox::kSystemSoundID_Vibrate);
  AudioServicesPlaySystemSound(4095);
  EXPECT_EQ(px::platform::sim::hardware_value("vibrations"), Value(2));
}

TEST_F(StandInTest, ActivatorDeliversToTheListenerOfTheName) {
  std::vector<std::string> events;
  px::platform::objc::Class cls = px::platform::objc::define_class("Listener", px::platform::objc::NSObject_class());
  px::platform::objc::class_addMethod<void, id, id>(
      cls, sel("activator:receiveEvent:"), Imp<void, id, id>([&](id, px::platform::objc::SEL, id activator, id event) {
        auto e = px::platform::objc::cast<px::platform::activator::LAEvent>(event);
        events.push_back(e ? e->name() : "?");
        EXPECT_EQ(activator, id(px::platform::activator::LAActivator::sharedInstance()));
      }));
  id shared =
      px::platform::objc::msg_send<id>(px::platform::activator::LAActivator::runtime_class(), sel("sharedInstance"));
  px::platform::objc::msg_send<void>(shared, sel("registerListener:forName:"), px::platform::objc::class_new(cls),
                                     std::string("com.example.a"));
  EXPECT_NE(px::platform::activator::LAActivator::sharedInstance()->sendEvent("com.example.a"), nullptr);
  EXPECT_EQ(px::platform::activator::LAActivator::sharedInstance()->sendEvent("com.example.b"), nullptr);
  EXPECT_EQ(events, std::vector<std::string>{"com.example.a"});
}

}  // namespace
