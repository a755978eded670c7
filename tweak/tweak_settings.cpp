#include "tweak/tweak_settings.h"

#include <array>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list_files.h"
#include "shared/names.h"
#include "shared/settings_schema.h"

namespace px::tweak {

constinit SettingsSnapshot TweakSettings{};

namespace {

// Where each setting of the schema lands in the snapshot, and how it is read:
// Foundation's boolValue, floatValue or intValue, or intValue then non-zero
// (fullChargeWarning, read as a number as it always was).
enum class Read { boolValue, floatValue, intValue, intValueNonZero };

struct Binding {
  const shared::Setting* setting;
  Read read;
  bool SettingsSnapshot::*flag = nullptr;
  float SettingsSnapshot::*real = nullptr;
  std::int32_t SettingsSnapshot::*integer = nullptr;
};

constexpr Binding flag(const shared::Setting& s, bool SettingsSnapshot::*field, Read read = Read::boolValue) {
  return {&s, read, field};
}
constexpr Binding real(const shared::Setting& s, float SettingsSnapshot::*field) {
  return {&s, Read::floatValue, nullptr, field};
}
constexpr Binding integer(const shared::Setting& s, std::int32_t SettingsSnapshot::*field) {
  return {&s, Read::intValue, nullptr, nullptr, field};
}

namespace k = shared::settings;
constexpr std::array kBindings{
    flag(k::debugMode, &SettingsSnapshot::debugMode),
    flag(k::enablePSM, &SettingsSnapshot::enablePSM),
    flag(k::vibratePSM, &SettingsSnapshot::vibratePSM),
    flag(k::notificationPSM, &SettingsSnapshot::notificationPSM),
    flag(k::airplanePSM, &SettingsSnapshot::airplanePSM),
    flag(k::bluetoothPSM, &SettingsSnapshot::bluetoothPSM),
    flag(k::locationPSM, &SettingsSnapshot::locationPSM),
    flag(k::wifiPSM, &SettingsSnapshot::wifiPSM),
    flag(k::dimPSM, &SettingsSnapshot::dimPSM),
    real(k::dimLevelPSM, &SettingsSnapshot::dimLevelPSM),
    real(k::percentagePSM, &SettingsSnapshot::percentagePSM),
    flag(k::capacityPOP, &SettingsSnapshot::capacityPOP),
    flag(k::designCapacityPOP, &SettingsSnapshot::designCapacityPOP),
    flag(k::cyclePOP, &SettingsSnapshot::cyclePOP),
    flag(k::serialPOP, &SettingsSnapshot::serialPOP),
    flag(k::wattsPOP, &SettingsSnapshot::wattsPOP),
    flag(k::amperagePOP, &SettingsSnapshot::amperagePOP),
    flag(k::timePOP, &SettingsSnapshot::timePOP),
    flag(k::statusbarMah, &SettingsSnapshot::statusbarMah),
    flag(k::statusbarTime, &SettingsSnapshot::statusbarTime),
    flag(k::keepHistory, &SettingsSnapshot::keepHistory),
    integer(k::timemode, &SettingsSnapshot::timemode),
    flag(k::fullChargeWarning, &SettingsSnapshot::fullChargeWarning, Read::intValueNonZero),
    flag(k::chargeAlarm, &SettingsSnapshot::chargeAlarm),
    real(k::chargeAlarmLevel, &SettingsSnapshot::chargeAlarmLevel),
};

// The bindings are the schema's snapshot settings, in the schema's order, each
// into a field of the setting's type: a key added to the schema for the tweak
// does not build until it has its field here.
consteval bool bindings_follow_the_schema() {
  std::size_t b = 0;
  for (const shared::Setting* setting : shared::kSettingsSchema) {
    if (!setting->in_snapshot) continue;
    if (b == kBindings.size() || kBindings[b].setting != setting) return false;
    const Binding& binding = kBindings[b++];
    switch (setting->type) {
      case shared::SettingType::boolean:
        if (!binding.flag) return false;
        break;
      case shared::SettingType::real:
        if (!binding.real) return false;
        break;
      case shared::SettingType::integer:
        if (!binding.integer) return false;
        break;
    }
  }
  return b == kBindings.size();
}
static_assert(bindings_follow_the_schema());

void read_into(SettingsSnapshot& s, const Binding& binding, const platform::foundation::Value& settings) {
  const platform::foundation::Value& stored = settings[binding.setting->key];
  const double absent = binding.setting->absent;
  const bool present = !stored.is_nil();
  switch (binding.read) {
    case Read::boolValue:
      s.*binding.flag = present ? stored.boolValue() : absent != 0;
      break;
    case Read::intValueNonZero:
      s.*binding.flag = (present ? stored.intValue() : static_cast<std::int32_t>(absent)) != 0;
      break;
    case Read::floatValue:
      s.*binding.real = present ? stored.floatValue() : static_cast<float>(absent);
      break;
    case Read::intValue:
      s.*binding.integer = present ? stored.intValue() : static_cast<std::int32_t>(absent);
      break;
  }
}

}  // namespace

void loadSettings() {
  platform::foundation::Value settings =
      platform::foundation::dictionaryWithContentsOfFile(platform::sim::DevicePath(shared::kSettingsFile));
  auto& s = TweakSettings;
  for (const Binding& binding : kBindings) read_into(s, binding, settings);

  if (s.debugMode)
    NSLog(
        "PylonexPro2 Settings : enablePSM = %i , vibratePSM = %i, notificationPSM = %i, airplanePSM = %i, "
        "bluetoothPSM = %i, locationPSM = %i, wifiPSM = %i, dimPSM = %i, dimLevelPSM = %f, percentagePSM = %f, "
        "capacityPOP = %i, debugMode = %i, StatusBarMah = %i, timeMode = %i, fullChargeWarning = %i",
        s.enablePSM, s.vibratePSM, s.notificationPSM, s.airplanePSM, s.bluetoothPSM, s.locationPSM, s.wifiPSM, s.dimPSM,
        static_cast<double>(s.dimLevelPSM), static_cast<double>(s.percentagePSM), s.capacityPOP, s.debugMode,
        s.statusbarMah, static_cast<int>(s.timemode), s.fullChargeWarning);
}

void loadSettings(platform::foundation::CFNotificationCenterRef, void*, std::string_view, const void*,
                  const platform::foundation::Value&) {
  loadSettings();
}

void startSettings() {
  // Temporaries of this step are scoped to it; the platform's reference
  // counting releases them as the step ends, as a drained pool would.
  {
    void (*callback)(platform::foundation::CFNotificationCenterRef, void*, std::string_view, const void*,
                     const platform::foundation::Value&) = loadSettings;
    platform::foundation::CFNotificationCenterAddObserver(
        platform::foundation::CFNotificationCenterGetDarwinNotifyCenter(), nullptr, callback,
        shared::kSettingsChangedNotification, nullptr, platform::foundation::CFNotificationSuspensionBehaviorCoalesce);
    loadSettings();
  }
}

}  // namespace px::tweak
