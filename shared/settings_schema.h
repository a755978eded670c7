#pragma once
// The settings file's schema: every key the option panes write and the tweak
// (or a pane) reads, with its type, the value an absent key stands for, and
// the pane that edits it. The tweak's loadSettings walks this table, and the
// bundle's specifier lists take each editable row's key, cell and default
// from it when the bundle is built (prefs/resources/make_resources.py).

#include <array>
#include <cstddef>
#include <string_view>

namespace px::shared {

enum class SettingType { boolean, integer, real };

// One choice of a segmented row: the stored value and its title.
struct SettingChoice {
  int value;
  std::string_view title;
};

struct Setting {
  std::string_view key;
  SettingType type;
  // The value an absent key stands for (a boolean as 0 or 1).
  double absent;
  // The specifier list (pane) whose row edits it.
  std::string_view pane;
  // A slider's range; nothing for other rows.
  double min = 0;
  double max = 0;
  // A segmented row's choices, in the order shown; none for other rows.
  std::array<SettingChoice, 2> choices{};
  std::size_t choice_count = 0;
  // False for a key only the panes read (the tweak's snapshot has no field).
  bool in_snapshot = true;
};

inline constexpr const char* kPowerSavingPane = "PowerSavingMode";
inline constexpr const char* kInfoPopupPane = "popUPInfo";
inline constexpr const char* kAdvancedOptionsPane = "AdvancedOptions";

namespace settings {

inline constexpr Setting debugMode{"debugMode", SettingType::boolean, 1, kAdvancedOptionsPane};
inline constexpr Setting enablePSM{"enablePSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting vibratePSM{"vibratePSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting notificationPSM{"notificationPSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting airplanePSM{"airplanePSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting bluetoothPSM{"bluetoothPSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting locationPSM{"locationPSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting wifiPSM{"wifiPSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting dimPSM{"dimPSM", SettingType::boolean, 1, kPowerSavingPane};
inline constexpr Setting dimLevelPSM{"dimLevelPSM", SettingType::real, 1.0, kPowerSavingPane, 0.0, 1.0};
inline constexpr Setting percentagePSM{"percentagePSM", SettingType::real, 1.0, kPowerSavingPane, 1.0, 100.0};
inline constexpr Setting capacityPOP{"capacityPOP", SettingType::boolean, 1, kInfoPopupPane};
inline constexpr Setting designCapacityPOP{"designCapacityPOP", SettingType::boolean, 1, kInfoPopupPane};
inline constexpr Setting cyclePOP{"cyclePOP", SettingType::boolean, 1, kInfoPopupPane};
inline constexpr Setting serialPOP{"serialPOP", SettingType::boolean, 1, kInfoPopupPane};
inline constexpr Setting wattsPOP{"wattsPOP", SettingType::boolean, 1, kInfoPopupPane};
inline constexpr Setting amperagePOP{"amperagePOP", SettingType::boolean, 1, kInfoPopupPane};
inline constexpr Setting timePOP{"timePOP", SettingType::boolean, 0, kInfoPopupPane};
inline constexpr Setting statusbarMah{"statusbarMah", SettingType::boolean, 1, kAdvancedOptionsPane};
// The time left behind the capacity clock (which statusbarMah turns on).
inline constexpr Setting statusbarTime{"statusbarTime", SettingType::boolean, 0, kAdvancedOptionsPane};
inline constexpr Setting keepHistory{"keepHistory", SettingType::boolean, 1, kAdvancedOptionsPane};
inline constexpr Setting timemode{
    "timemode", SettingType::integer, 1, kAdvancedOptionsPane, 0, 0, {{{1, "24 Hours"}, {0, "12 Hours"}}}, 2};
// A switch, stored as a boolean; the tweak reads it as a number (non-zero is on).
inline constexpr Setting fullChargeWarning{"fullChargeWarning", SettingType::boolean, 1, kAdvancedOptionsPane};
// The alert that the charge reached chargeAlarmLevel percent, once per connection of the charger.
inline constexpr Setting chargeAlarm{"chargeAlarm", SettingType::boolean, 0, kAdvancedOptionsPane};
inline constexpr Setting chargeAlarmLevel{"chargeAlarmLevel", SettingType::real, 80, kAdvancedOptionsPane, 50, 100};
inline constexpr Setting Fahrenheit{
    .key = "Fahrenheit", .type = SettingType::boolean, .absent = 0, .pane = kAdvancedOptionsPane, .in_snapshot = false};

}  // namespace settings

// Every setting, in the order loadSettings reads them.
inline constexpr std::array<const Setting*, 26> kSettingsSchema{
    &settings::debugMode,         &settings::enablePSM,         &settings::vibratePSM,
    &settings::notificationPSM,   &settings::airplanePSM,       &settings::bluetoothPSM,
    &settings::locationPSM,       &settings::wifiPSM,           &settings::dimPSM,
    &settings::dimLevelPSM,       &settings::percentagePSM,     &settings::capacityPOP,
    &settings::designCapacityPOP, &settings::cyclePOP,          &settings::serialPOP,
    &settings::wattsPOP,          &settings::amperagePOP,       &settings::timePOP,
    &settings::statusbarMah,      &settings::statusbarTime,     &settings::keepHistory,
    &settings::timemode,          &settings::fullChargeWarning, &settings::chargeAlarm,
    &settings::chargeAlarmLevel,  &settings::Fahrenheit,
};

}  // namespace px::shared
