#include "tweak/power_saving_actions.h"

#include <string>

#include "platform/audiotoolbox/audio_services.h"
#include "platform/corelocation/cl_location_manager.h"
#include "platform/foundation/log.h"
#include "platform/objc/runtime.h"
#include "platform/uikit/ui_screen.h"
#include "tweak/tweak_settings.h"

namespace pylonexpro2 {

namespace {

using objc::id;
using objc::sel;

// SpringBoard's private classes are found by name: a class the running
// SpringBoard lacks yields nil, and what is sent to nil does nothing.
id shared(const char* className, const char* selector) {
  return objc::msg_send<id>(objc::objc_getClass(className), sel(selector));
}

void postPowerSavingBanner() {
  id request =
      objc::msg_send<id>(objc::msg_send<id>(objc::objc_getClass("BBBulletinRequest"), sel("alloc")), sel("init"));
  objc::msg_send<id>(request, sel("autorelease"));
  objc::msg_send<void>(request, sel("setTitle:"), std::string("PylonexPro2"));
  objc::msg_send<void>(request, sel("setMessage:"), std::string("PowerSavingMode Activated!"));
  objc::msg_send<void>(request, sel("setSectionID:"), std::string("com.apple.Preferences"));
  objc::msg_send<void>(request, sel("setDefaultAction:"), shared("BBAction", "action"));

  id bulletinBanners = shared("SBBulletinBannerController", "sharedInstance");
  objc::msg_send<void>(shared("SBBannerController", "sharedInstance"), sel("_dismissIntervalElapsed"));
  objc::msg_send<void>(bulletinBanners, sel("observer:addBulletin:forFeed:"), id{}, request, 2UL);
  objc::msg_send<void>(shared("SBBannerController", "sharedInstance"), sel("_replaceIntervalElapsed"));
}

}  // namespace

void powerSavingActions() {
  const auto& s = TweakSettings;
  if (s.debugMode) NSLog("Executing PSM ACTIONS!");

  if (s.wifiPSM) {
    objc::msg_send<void>(shared("SBWiFiManager", "sharedInstance"), sel("setWiFiEnabled:"), false);
    if (s.debugMode) NSLog("PylonexPro2 : Turn OFF WiFI executed!");
  }
  if (s.locationPSM) {
    corelocation::CLLocationManager::setLocationServicesEnabled(false);
    if (s.debugMode) NSLog("PylonexPro2 : Turn OFF Location executed!");
  }
  if (s.airplanePSM) {
    objc::msg_send<void>(shared("SBTelephonyManager", "sharedTelephonyManager"), sel("setIsInAirplaneMode:"), true);
    if (s.debugMode) NSLog("PylonexPro2 : Turn ON Airplane Mode executed!");
  }
  if (s.bluetoothPSM) {
    objc::msg_send<void>(shared("BluetoothManager", "sharedInstance"), sel("setEnabled:"), false);
    if (s.debugMode) NSLog("PylonexPro2 : Turn OFF Bluetooth executed!");
  }
  if (s.dimPSM) {
    uikit::UIScreen::mainScreen()->setBrightness(static_cast<double>(s.dimLevelPSM));
    if (s.debugMode) NSLog("PylonexPro2 : Brightness dimming executed!");
  }
  if (s.vibratePSM) {
    AudioServicesPlaySystemSound(audiotoolbox::kSystemSoundID_Vibrate);
    if (s.debugMode) NSLog("PylonexPro2 : Vibration executed!");
  }
  if (s.notificationPSM) {
    postPowerSavingBanner();
    if (s.debugMode) NSLog("PylonexPro2 : Notification executed!");
  }
}

}  // namespace pylonexpro2
