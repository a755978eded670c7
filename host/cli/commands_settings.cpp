// `simdevice settings …`: the Settings app, driven as a finger would.

#include "host/cli/command_entries.h"
#include "host/cli/device_requests.h"
#include "platform/system/device_process.h"

namespace px::host::cli {
namespace {

// A command the Settings app answers: a verb of the device's table, with its grammar.
template <class Verb>
Command subcommand(std::string summary) {
  return {std::string(Verb::verb), std::move(summary), arg_spec_of(Verb::grammar()), true,
          [](const ParsedArgs& given, Context&) {
            if (!platform::system::DeviceProcess("Preferences").running())
              return Context::failure("the Settings app is not open (simdevice settings open prefs:root=PylonexPro2)");
            return send_verb<Verb>("Preferences", given, "the Settings app does not answer");
          }};
}

CommandResult open_settings(const ParsedArgs& args, Context&) {
  return send_verb<common::verbs::OpenSettings>("launchd", args, "the device is not running (simdevice boot)");
}

}  // namespace

Command settings_command() {
  using namespace common::verbs;
  Command open{"open", "opens the Settings app at a URL", arg_spec_of(OpenSettings::grammar()), true, open_settings};

  Command settings;
  settings.name = "settings";
  settings.summary = "drives the Settings app";
  settings.web_allowed = true;
  settings.subcommands = {
      std::move(open),
      subcommand<Show>("the screen the Settings app shows"),
      subcommand<Tap>("taps a row"),
      subcommand<SetRow>("changes the value of a switch, slider or choice row"),
      subcommand<Back>("goes back one screen (from an opened web page, back to Settings)"),
      subcommand<Alerts>("the alerts the Settings app shows"),
      subcommand<Press>("presses a button of an alert the Settings app shows"),
      subcommand<Sheet>("presses Cancel or Post on the compose sheet"),
      subcommand<Close>("closes the Settings app"),
  };
  return settings;
}

}  // namespace px::host::cli
