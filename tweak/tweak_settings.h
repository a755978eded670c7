#pragma once
// TweakSettings: the process-wide snapshot of the settings file that every
// other piece of the tweak reads its options from. loadSettings refills it
// whole; nothing reads the settings file at the moment an option is needed.

#include <cstdint>
#include <string_view>

#include "platform/foundation/darwin_notify.h"

namespace px::tweak {

struct SettingsSnapshot {
  bool debugMode;
  bool wifiPSM;
  bool locationPSM;
  bool airplanePSM;
  bool bluetoothPSM;
  bool dimPSM;
  bool vibratePSM;
  bool notificationPSM;
  bool capacityPOP;
  bool designCapacityPOP;
  bool cyclePOP;
  bool serialPOP;
  bool wattsPOP;
  bool amperagePOP;
  bool fullChargeWarning;
  bool enablePSM;
  bool statusbarMah;
  bool keepHistory;  // not in the settings log line
  // The time left in the popup and behind the clock, and the charge alarm: not in the log line either.
  bool timePOP;
  bool statusbarTime;
  bool chargeAlarm;
  float dimLevelPSM;
  float percentagePSM;
  float chargeAlarmLevel;
  std::int32_t timemode;
};

// Zero until start-up step 1 fills it.
extern SettingsSnapshot TweakSettings;

// Rereads the settings file into every field; absent keys (or an absent or
// unreadable file) take their defaults, so no field keeps an older value.
void loadSettings();
// The same, as the Darwin notification's callback; its arguments carry nothing.
void loadSettings(platform::foundation::CFNotificationCenterRef center, void* observer, std::string_view name,
                  const void* object, const platform::foundation::Value& userInfo);

// Start-up step 1: observe the reload notification, then load once.
void startSettings();

}  // namespace px::tweak
