#include "tweak/tweak_settings.h"

#include "platform/foundation/log.h"
#include "platform/foundation/property_list_files.h"
#include "shared/names.h"

constinit SettingsSnapshot TweakSettings{};

namespace {

bool readBool(const foundation::Value& settings, std::string_view key, bool absent) {
  const foundation::Value& v = settings[key];
  return v.is_nil() ? absent : v.boolValue();
}

float readFloat(const foundation::Value& settings, std::string_view key, float absent) {
  const foundation::Value& v = settings[key];
  return v.is_nil() ? absent : v.floatValue();
}

std::int32_t readInt(const foundation::Value& settings, std::string_view key, std::int32_t absent) {
  const foundation::Value& v = settings[key];
  return v.is_nil() ? absent : v.intValue();
}

}  // namespace

void loadSettings() {
  foundation::Value settings = foundation::dictionaryWithContentsOfFile(px::kSettingsFile);
  auto& s = TweakSettings;
  s.debugMode = readBool(settings, "debugMode", true);
  s.enablePSM = readBool(settings, "enablePSM", true);
  s.vibratePSM = readBool(settings, "vibratePSM", true);
  s.notificationPSM = readBool(settings, "notificationPSM", true);
  s.airplanePSM = readBool(settings, "airplanePSM", true);
  s.bluetoothPSM = readBool(settings, "bluetoothPSM", true);
  s.locationPSM = readBool(settings, "locationPSM", true);
  s.wifiPSM = readBool(settings, "wifiPSM", true);
  s.dimPSM = readBool(settings, "dimPSM", true);
  s.dimLevelPSM = readFloat(settings, "dimLevelPSM", 1.0f);
  s.percentagePSM = readFloat(settings, "percentagePSM", 1.0f);
  s.capacityPOP = readBool(settings, "capacityPOP", true);
  s.designCapacityPOP = readBool(settings, "designCapacityPOP", true);
  s.cyclePOP = readBool(settings, "cyclePOP", true);
  s.serialPOP = readBool(settings, "serialPOP", true);
  s.wattsPOP = readBool(settings, "wattsPOP", true);
  s.amperagePOP = readBool(settings, "amperagePOP", true);
  s.statusbarMah = readBool(settings, "statusbarMah", true);
  s.keepHistory = readBool(settings, "keepHistory", true);
  s.timemode = readInt(settings, "timemode", 1);
  s.fullChargeWarning = readInt(settings, "fullChargeWarning", 1) != 0;

  if (s.debugMode)
    NSLog("PylonexPro2 Settings : enablePSM = %i , vibratePSM = %i, notificationPSM = %i, airplanePSM = %i, "
          "bluetoothPSM = %i, locationPSM = %i, wifiPSM = %i, dimPSM = %i, dimLevelPSM = %f, percentagePSM = %f, "
          "capacityPOP = %i, debugMode = %i, StatusBarMah = %i, timeMode = %i, fullChargeWarning = %i",
          s.enablePSM, s.vibratePSM, s.notificationPSM, s.airplanePSM, s.bluetoothPSM, s.locationPSM, s.wifiPSM,
          s.dimPSM, static_cast<double>(s.dimLevelPSM), static_cast<double>(s.percentagePSM), s.capacityPOP,
          s.debugMode, s.statusbarMah, static_cast<int>(s.timemode), s.fullChargeWarning);
}

void loadSettings(foundation::CFNotificationCenterRef, void*, std::string_view, const void*,
                  const foundation::Value&) {
  loadSettings();
}

void startSettings() {
  // Temporaries of this step are scoped to it; the platform's reference
  // counting releases them as the step ends, as a drained pool would.
  {
    void (*callback)(foundation::CFNotificationCenterRef, void*, std::string_view, const void*,
                     const foundation::Value&) = loadSettings;
    foundation::CFNotificationCenterAddObserver(foundation::CFNotificationCenterGetDarwinNotifyCenter(), nullptr,
                                                callback, px::kSettingsChangedNotification, nullptr,
                                                foundation::CFNotificationSuspensionBehaviorCoalesce);
    loadSettings();
  }
}
