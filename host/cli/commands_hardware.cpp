// simdevice hardware NAME VALUE: a switch of the device's hardware turned as
// a person turns it in Control Center — Wi-Fi, Bluetooth, Airplane Mode,
// Location Services, brightness — written where the platform keeps the
// hardware state, so SpringBoard, the add-on and `status` all see it.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "host/cli/command_entries.h"
#include "host/common/on_off.h"
#include "host/device/battery_change.h"
#include "platform/system/hardware_state.h"

namespace cli {
namespace {

struct Switch {
  std::string_view name;                          // the hardware state's name
  std::string_view title;                         // as Control Center labels it
  std::initializer_list<std::string_view> other;  // other spellings accepted, each whole
};

const Switch kSwitches[] = {
    {"wifi", "Wi-Fi", {"wlan"}},
    {"bluetooth", "Bluetooth", {"bt"}},
    {"airplane", "Airplane Mode", {"airplane-mode", "airplanemode"}},
    {"location", "Location Services", {"location-services", "locationservices"}},
    {"brightness", "Brightness", {}},
};

// A name is one whole entry of the table, in any case: never a piece of one
// nor several at once.
const Switch* find_switch(const std::string& text) {
  std::string wanted = host::lowercase(text);
  for (const auto& s : kSwitches) {
    if (wanted == s.name || wanted == host::lowercase(s.title)) return &s;
    for (auto other : s.other)
      if (wanted == other) return &s;
  }
  return nullptr;
}

CommandResult set_hardware(const ParsedArgs& args, Context& context) {
  const Switch* target = find_switch(args.positionals[0]);
  if (!target) return context.usage_error("no hardware switch named '" + args.positionals[0] + "'");
  const std::string& text = args.positionals[1];

  if (target->name == "brightness") {
    auto parsed = device::parse_level(text);
    if (!parsed || *parsed < 0) return context.usage_error("brightness takes 0..1 or N%, not '" + text + "'");
    // "-0" is the same as 0: stored and shown without its sign.
    double level = *parsed + 0.0;
    if (!hardware::set("brightness", foundation::Value(level)))
      return Context::failure("cannot write the device's hardware state (is there a device at this root?)");
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.0f%%", level * 100);
    return {0, std::string("Brightness ") + shown + "\n", {}};
  }

  auto on = host::parse_on_off(text);
  if (!on) return context.usage_error(std::string(target->title) + " takes on or off, not '" + text + "'");
  if (!hardware::set(std::string(target->name), foundation::Value(*on)))
    return Context::failure("cannot write the device's hardware state (is there a device at this root?)");
  std::string out = std::string(target->title) + (*on ? " on" : " off");
  // Control Center's Airplane Mode takes the radios down with it.
  if (target->name == "airplane" && *on) {
    hardware::set("wifi", foundation::Value(false));
    hardware::set("bluetooth", foundation::Value(false));
    out += " (Wi-Fi and Bluetooth off)";
  }
  return {0, out + "\n", {}};
}

}  // namespace

Command hardware_command() {
  Command command{"hardware", "turns a hardware switch as Control Center does", {}, true, set_hardware};
  command.args.positionals = {
      {"NAME", "wifi, bluetooth, airplane, location or brightness (Control Center's labels work too)"},
      {"VALUE", "on or off; for brightness 0..1 or N%"},
  };
  command.args.notes = {"Turning Airplane Mode on also turns Wi-Fi and Bluetooth off; each can be turned on again."};
  return command;
}

}  // namespace cli
