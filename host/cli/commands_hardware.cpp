// simdevice hardware NAME VALUE: a switch of the device's hardware turned as
// a person turns it in Control Center — Wi-Fi, Bluetooth, Airplane Mode,
// Location Services, brightness — written where the platform keeps the
// hardware state, so SpringBoard, the add-on and `status` all see it.

#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "host/cli/command_entries.h"
#include "host/common/on_off.h"
#include "host/device/battery_change.h"
#include "platform/system/hardware_switches.h"

namespace px::host::cli {
namespace {

using platform::system::Switch;

// The switches a person turns (the vibration count is the device's own), with
// the spellings accepted besides the table's name and Control Center's label.
struct Spelling {
  Switch which;
  std::initializer_list<std::string_view> other;  // each whole
};

const Spelling kTurnable[] = {
    {Switch::wifi, {"wlan"}},
    {Switch::bluetooth, {"bt"}},
    {Switch::airplane, {"airplane-mode", "airplanemode"}},
    {Switch::location, {"location-services", "locationservices"}},
    {Switch::brightness, {}},
};

// A name is one whole entry of the table, in any case: never a piece of one
// nor several at once.
const platform::system::SwitchInfo* find_switch(const std::string& text) {
  std::string wanted = common::lowercase(text);
  for (const auto& s : kTurnable) {
    const auto& info = platform::system::switch_info(s.which);
    if (wanted == info.name || wanted == common::lowercase(std::string(info.title))) return &info;
    for (auto other : s.other)
      if (wanted == other) return &info;
  }
  return nullptr;
}

constexpr const char* kNotWritten = "cannot write the device's hardware state (is there a device at this root?)";

CommandResult set_hardware(const ParsedArgs& args, Context& context) {
  const platform::system::SwitchInfo* target = find_switch(args.positionals[0]);
  if (!target) return context.usage_error("no hardware switch named '" + args.positionals[0] + "'");
  const std::string& text = args.positionals[1];

  if (target->kind == platform::system::SwitchKind::level) {
    auto parsed = device::parse_level(text);
    if (!parsed || *parsed < 0)
      return context.usage_error(std::string(target->title) + " takes 0..1 or N%, not '" + text + "'");
    if (!platform::system::set_level(target->id, *parsed)) return Context::failure(kNotWritten);
    char shown[32];
    std::snprintf(shown, sizeof shown, "%.0f%%", (*parsed + 0.0) * 100);  // "-0" shown without its sign
    return {0, std::string(target->title) + " " + shown + "\n", {}};
  }

  auto on = common::parse_on_off(text);
  if (!on) return context.usage_error(std::string(target->title) + " takes on or off, not '" + text + "'");
  auto turned = platform::system::turn(target->id, *on);
  if (!turned.written) return Context::failure(kNotWritten);
  std::string out = std::string(target->title) + (*on ? " on" : " off");
  std::string also;
  for (std::size_t i = 0; i < turned.also_off.size(); ++i)
    also += (i == 0 ? "" : " and ") + std::string(platform::system::switch_info(turned.also_off[i]).title);
  if (!also.empty()) out += " (" + also + " off)";
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

}  // namespace px::host::cli
