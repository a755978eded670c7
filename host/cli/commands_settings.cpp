// `simdevice settings …`: the Settings app, driven as a finger would.

#include "host/cli/command_entries.h"
#include "host/cli/device_requests.h"
#include "platform/system/device_process.h"

namespace cli {
namespace {

CommandResult to_settings_app(const std::string& subcommand, const ParsedArgs& args) {
  if (!sys::DeviceProcess("Preferences").running())
    return Context::failure("the Settings app is not open (simdevice settings open prefs:root=PylonexPro2)");
  std::vector<std::string> request{subcommand};
  for (auto& word : args.words()) request.push_back(word);
  return forward("Preferences", request, "the Settings app does not answer");
}

Command subcommand(std::string name, std::string summary, ArgSpec args) {
  std::string forwarded = name;
  return {std::move(name), std::move(summary), std::move(args), true,
          [forwarded](const ParsedArgs& given, Context&) { return to_settings_app(forwarded, given); }};
}

CommandResult open_settings(const ParsedArgs& args, Context&) {
  return forward("launchd", {"open-settings", args.positionals[0]}, "the device is not running (simdevice boot)");
}

}  // namespace

Command settings_command() {
  ArgSpec json_flag;
  json_flag.options = {{"--json", "", "as JSON"}};
  ArgSpec row;
  row.positionals = {{"ROW", "a row's label or its index; `right` is the right bar button"}};
  ArgSpec set;
  set.positionals = {{"ROW", "a row's label or its index"},
                     {"VALUE", "on/off for a switch, a number for a slider, a title or value for a choice"}};
  ArgSpec sheet;
  sheet.positionals = {{"BUTTON", "cancel or post"}};
  Command open{"open", "opens the Settings app at a URL", {}, true, open_settings};
  open.args.positionals = {{"URL", "e.g. prefs:root=PylonexPro2"}};

  Command settings;
  settings.name = "settings";
  settings.summary = "drives the Settings app";
  settings.web_allowed = true;
  settings.subcommands = {
      std::move(open),
      subcommand("show", "the screen the Settings app shows", json_flag),
      subcommand("tap", "taps a row", row),
      subcommand("set", "changes the value of a switch, slider or choice row", set),
      subcommand("back", "goes back one screen (from an opened web page, back to Settings)", {}),
      subcommand("alerts", "the alerts the Settings app shows", json_flag),
      subcommand("press", "presses a button of an alert the Settings app shows", alert_press_args()),
      subcommand("sheet", "presses Cancel or Post on the compose sheet", sheet),
      subcommand("close", "closes the Settings app", {}),
  };
  return settings;
}

}  // namespace cli
