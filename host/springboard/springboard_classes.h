#pragma once
// SpringBoard's classes, registered by name in the runtime before any tweak
// loads. Tweaks reach them only by name and message them through msg_send;
// these are the signatures they answer:
//
//   SpringBoard (the shared UIApplication)
//     -applicationDidFinishLaunching:          Imp<void, id>
//   SBUIController          +sharedInstance    Imp<id>
//     -updateBatteryState:                     Imp<void, id>
//   SBStatusBarStateAggregator +sharedInstance Imp<id>
//     ivar _timeItemDateFormatter              px::platform::objc::id (a px::platform::foundation::NSDateFormatter)
//     -_updateTimeItems, -_resetTimeItemFormatter   Imp<void>
//   SBLockScreenViewController +sharedInstance Imp<id>
//     -prepareForUIUnlock                      Imp<void>
//   SBWiFiManager  +sharedInstance, -setWiFiEnabled: Imp<void, bool>
//   SBTelephonyManager +sharedTelephonyManager, -setIsInAirplaneMode: Imp<void, bool>
//   BluetoothManager +sharedInstance, -setEnabled: Imp<void, bool>
//   BBBulletinRequest -setTitle:/-setMessage:/-setSectionID: Imp<void, std::string>,
//     -setDefaultAction: Imp<void, id>, -title/-message/-sectionID Imp<std::string>,
//     -defaultAction Imp<id>, -autorelease Imp<id>
//   BBAction +action                           Imp<id>
//   SBBulletinBannerController +sharedInstance,
//     -observer:addBulletin:forFeed:           Imp<void, id, id, unsigned long>
//   SBBannerController +sharedInstance,
//     -_dismissIntervalElapsed, -_replaceIntervalElapsed  Imp<void>

#include "host/springboard/springboard_state.h"

namespace px::host::springboard {

// Registers every class above and starts a fresh SpringBoardState.
void register_springboard_classes();

// SpringBoard's own pattern for the status-bar time.
inline constexpr const char* kTimeItemPattern = "H:mm";
// How long a banner stays, and how long before another may replace it (ns).
inline constexpr std::int64_t kBannerDismissInterval = 5'000'000'000;
inline constexpr std::int64_t kBannerReplaceInterval = 1'500'000'000;

// The class of that name, defined under `superclass` unless it exists already
// (registering twice in one runtime keeps the first definition).
platform::objc::Class host_class(const char* name, platform::objc::Class superclass);

// Pieces of the registration, one per group of classes.
void register_application_classes();
void register_status_bar_classes();
void register_radio_classes();
void register_bulletin_classes();

}  // namespace px::host::springboard
