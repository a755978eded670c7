// Commands SpringBoard answers, and posting a Darwin notification.

#include "host/cli/command_entries.h"
#include "host/cli/device_requests.h"
#include "platform/system/device_process.h"
#include "host/common/time_text.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/device_clock.h"

namespace cli {
namespace {

CommandResult to_springboard(const std::string& command, const ParsedArgs& args) {
  std::vector<std::string> request{command};
  for (auto& word : args.words()) request.push_back(word);
  return forward("SpringBoard", request, "SpringBoard is not running (simdevice boot)");
}

// A command SpringBoard answers with the arguments as given.
Command springboard_command(std::string name, std::string summary, ArgSpec args) {
  std::string forwarded = name;
  return {std::move(name), std::move(summary), std::move(args), true,
          [forwarded](const ParsedArgs& given, Context&) { return to_springboard(forwarded, given); }};
}

CommandResult set_clock(const ParsedArgs& args, Context& context) {
  if (sys::DeviceProcess("SpringBoard").running()) return to_springboard("clock", args);
  // With no SpringBoard the clock file is the whole of the device's time.
  auto t = host::parse_device_time(args.positionals[0], foundation::device_now());
  if (!t) return context.usage_error(t.message());
  if (!foundation::set_device_now(*t)) return Context::failure("the device clock could not be written");
  return {0, "Device clock set\n", {}};
}

CommandResult post(const ParsedArgs& args, Context&) {
  const std::string& name = args.positionals[0];
  if (!foundation::darwin::post(name)) return Context::failure("could not post " + name);
  return {0, "Posted " + name + "\n", {}};
}

}  // namespace

ArgSpec alert_press_args() {
  ArgSpec press;
  press.positionals = {{"INDEX|TITLE", "the button, by position (from 0) or by its title"}};
  press.options = {{"--alert", "N", "the alert, by position from 0 (default: the newest)"}};
  return press;
}

std::vector<Command> springboard_commands() {
  ArgSpec json_flag;
  json_flag.options = {{"--json", "", "as a JSON array"}};
  ArgSpec activator;
  activator.positionals = {{"NAME", "the name the listener registered under, e.g. com.zelmoraq.pylonexpro2"}};
  ArgSpec tick;
  tick.positionals = {{"N", "how many time refreshes (default 1)", false}};
  tick.options = {{"--reset", "", "then a formatter reset, as when the locale changes"}};
  Command clock{"clock", "sets the device clock", {}, true, set_clock};
  clock.args.positionals = {{"TIME", host::kTimeForms}};
  clock.args.notes = {"  A time without a zone is in the device's time zone (TZ)."};
  Command post_command{"post", "posts a Darwin notification", {}, true, post};
  post_command.args.positionals = {{"NAME", "the notification's name"}};
  return {
      springboard_command("unlock", "unlocks the device (SpringBoard)", {}),
      springboard_command("lock", "locks the device (SpringBoard)", {}),
      springboard_command("activator", "sends one Activator event to a listener", activator),
      springboard_command("alerts", "the alerts SpringBoard shows, oldest first", json_flag),
      springboard_command("press", "presses a button of an alert SpringBoard shows", alert_press_args()),
      springboard_command("tick", "refreshes the status bar time", tick),
      std::move(clock),
      std::move(post_command),
  };
}

}  // namespace cli
