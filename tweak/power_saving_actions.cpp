#include "tweak/power_saving_actions.h"

#include <string>

#include "platform/audiotoolbox/audio_services.h"
#include "platform/corelocation/cl_location_manager.h"
#include "platform/foundation/log.h"
#include "platform/objc/runtime.h"
#include "platform/uikit/ui_screen.h"
#include "tweak/tweak_settings.h"

namespace px::tweak {

namespace {

using platform::objc::id;
using platform::objc::sel;

// SpringBoard's private classes are found by name: a class the running
// SpringBoard lacks yields nil, and what is sent to nil does nothing.
id shared(const char* className, const char* selector) {
  return platform::objc::msg_send<id>(platform::objc::objc_getClass(className), sel(selector));
}

void postPowerSavingBanner() {
  id request = platform::objc::msg_send<id>(
      platform::objc::msg_send<id>(platform::objc::objc_getClass("BBBulletinRequest"), sel("alloc")), sel("init"));
  platform::objc::msg_send<id>(request, sel("autorelease"));
  platform::objc::msg_send<void>(request, sel("setTitle:"), std::string("PylonexPro2"));
  platform::objc::msg_send<void>(request, sel("setMessage:"), std::string("PowerSavingMode Activated!"));
  platform::objc::msg_send<void>(request, sel("setSectionID:"), std::string("com.apple.Preferences"));
  platform::objc::msg_send<void>(request, sel("setDefaultAction:"), shared("BBAction", "action"));

  id bulletinBanners = shared("SBBulletinBannerController", "sharedInstance");
  platform::objc::msg_send<void>(shared("SBBannerController", "sharedInstance"), sel("_dismissIntervalElapsed"));
  platform::objc::msg_send<void>(bulletinBanners, sel("observer:addBulletin:forFeed:"), id{}, request, 2UL);
  platform::objc::msg_send<void>(shared("SBBannerController", "sharedInstance"), sel("_replaceIntervalElapsed"));
}

}  // namespace

void powerSavingActions() {
  const auto& s = TweakSettings;
  if (s.debugMode) NSLog("Executing PSM ACTIONS!");

  if (s.wifiPSM) {
    platform::objc::msg_send<void>(shared("SBWiFiManager", "sharedInstance"), sel("setWiFiEnabled:"), false);
    if (s.debugMode) NSLog("PylonexPro2 : Turn OFF WiFI executed!");
  }
  if (s.locationPSM) {
    platform::corelocation::CLLocationManager::setLocationServicesEnabled(false);
    if (s.debugMode) NSLog("PylonexPro2 : Turn OFF Location executed!");
  }
  if (s.airplanePSM) {
    platform::objc::msg_send<void>(shared("SBTelephonyManager", "sharedTelephonyManager"), sel("setIsInAirplaneMode:"),
                                   true);
    if (s.debugMode) NSLog("PylonexPro2 : Turn ON Airplane Mode executed!");
  }
  if (s.bluetoothPSM) {
    platform::objc::msg_send<void>(shared("BluetoothManager", "sharedInstance"), sel("setEnabled:"), false);
    if (s.debugMode) NSLog("PylonexPro2 : Turn OFF Bluetooth executed!");
  }
  if (s.dimPSM) {
    platform::uikit::UIScreen::mainScreen()->setBrightness(static_cast<double>(s.dimLevelPSM));
    if (s.debugMode) NSLog("PylonexPro2 : Brightness dimming executed!");
  }
  if (s.vibratePSM) {
    AudioServicesPlaySystemSound(platform::audiotoolbox::kSystemSoundID_Vibrate);
    if (s.debugMode) NSLog("PylonexPro2 : Vibration executed!");
  }
  if (s.notificationPSM) {
    postPowerSavingBanner();
    if (s.debugMode) NSLog("PylonexPro2 : Notification executed!");
  }
}

}  // namespace px::tweak
