#pragma once
// The device's hardware switches, each once: its name in the hardware state
// (/var/run/hardware/<name>.plist), the label Control Center gives it, what it
// holds, and what it reads as while nothing has been written. Every reader
// (UIScreen, CLLocationManager, the vibration count, the load model, `status`
// and the page through it) goes through this table, so they cannot disagree.

#include <string_view>
#include <vector>

#include "platform/foundation/value.h"

namespace px::platform::system {

enum class Switch { wifi, bluetooth, airplane, location, brightness, vibrations };

enum class SwitchKind {
  flag,   // on or off
  level,  // 0..1
  count,  // how many times something happened
};

struct SwitchInfo {
  Switch id;
  std::string_view name;   // the hardware state's entry
  std::string_view title;  // as Control Center labels it
  SwitchKind kind;
  double fallback;       // the reading while the entry holds nothing of its kind
  bool off_in_airplane;  // Airplane Mode takes it down (not up again)
};

// Airplane Mode takes the radios down; Location Services stays as it is, as
// on the phone.
inline constexpr SwitchInfo kSwitches[] = {
    {Switch::wifi, "wifi", "Wi-Fi", SwitchKind::flag, 1, true},
    {Switch::bluetooth, "bluetooth", "Bluetooth", SwitchKind::flag, 1, true},
    {Switch::airplane, "airplane", "Airplane Mode", SwitchKind::flag, 0, false},
    {Switch::location, "location", "Location Services", SwitchKind::flag, 1, false},
    {Switch::brightness, "brightness", "Brightness", SwitchKind::level, 0.5, false},
    {Switch::vibrations, "vibrations", "Vibrations", SwitchKind::count, 0, false},
};

constexpr const SwitchInfo& switch_info(Switch id) {
  for (const auto& s : kSwitches)
    if (s.id == id) return s;
  return kSwitches[0];  // unreachable: every Switch has its row
}

// Readings: a flag is a boolean (an integer counts as non-zero); a level and
// a count are numbers. Anything else reads as the switch's fallback.
bool is_on(Switch id);
double level(Switch id);
long long count(Switch id);
// The reading as a value of the switch's kind (boolean, real or integer).
foundation::Value reading(Switch id);
// The fallback as a value of the switch's kind.
foundation::Value fallback_value(Switch id);

// Writes atomically; false when the device has no root or the write failed.
// A level is kept within 0..1 and a non-finite one changes nothing (false).
bool set_on(Switch id, bool on);
bool set_level(Switch id, double value);
bool set_count(Switch id, long long value);

// Turns a flag as Control Center does: Airplane Mode on also takes down the
// radios marked off_in_airplane (turning it off leaves them as they are).
// Returns the switches it turned off besides `id`; nothing when the write of
// `id` failed (`written` false).
struct Turned {
  bool written = false;
  std::vector<Switch> also_off;
};
Turned turn(Switch id, bool on);

}  // namespace px::platform::system
