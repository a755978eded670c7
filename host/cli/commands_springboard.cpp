// Commands SpringBoard answers, and posting a Darwin notification.

#include "host/cli/command_entries.h"
#include "host/cli/device_requests.h"
#include "host/common/time_text.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/sim/device_clock.h"
#include "platform/system/device_process.h"

namespace px::host::cli {
namespace {

constexpr const char* kNotRunning = "SpringBoard is not running (simdevice boot)";

// A command SpringBoard answers: a verb of the device's table, with its grammar.
template <class Verb>
Command springboard_command(std::string summary) {
  return {std::string(Verb::verb), std::move(summary), arg_spec_of(Verb::grammar()), true,
          [](const ParsedArgs& given, Context&) { return send_verb<Verb>("SpringBoard", given, kNotRunning); }};
}

CommandResult set_clock(const ParsedArgs& args, Context& context) {
  if (platform::system::DeviceProcess("SpringBoard").running())
    return send_verb<common::verbs::SetClock>("SpringBoard", args, kNotRunning);
  // With no SpringBoard the clock file is the whole of the device's time.
  auto t = common::parse_device_time(args.positionals[0], platform::sim::device_now());
  if (!t) return context.usage_error(t.message());
  if (!platform::sim::set_device_now(*t)) return Context::failure("the device clock could not be written");
  return {0, "Device clock set\n", {}};
}

CommandResult post(const ParsedArgs& args, Context&) {
  const std::string& name = args.positionals[0];
  if (!platform::foundation::darwin::post(name)) return Context::failure("could not post " + name);
  return {0, "Posted " + name + "\n", {}};
}

}  // namespace

std::vector<Command> springboard_commands() {
  using namespace common::verbs;
  Command clock{"clock", "sets the device clock", arg_spec_of(SetClock::grammar()), true, set_clock};
  clock.args.notes = {"  A time without a zone is in the device's time zone (TZ)."};
  Command post_command{"post", "posts a Darwin notification", {}, true, post};
  post_command.args.positionals = {{"NAME", "the notification's name"}};
  return {
      springboard_command<Unlock>("unlocks the device (SpringBoard)"),
      springboard_command<Lock>("locks the device (SpringBoard)"),
      springboard_command<Activator>("sends one Activator event to a listener"),
      springboard_command<Alerts>("the alerts SpringBoard shows, oldest first"),
      springboard_command<Press>("presses a button of an alert SpringBoard shows"),
      springboard_command<Tick>("refreshes the status bar time"),
      std::move(clock),
      std::move(post_command),
  };
}

}  // namespace px::host::cli
