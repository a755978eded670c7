#include "host/cli/command_table.h"

#include <algorithm>
#include <utility>

#include "host/cli/command_entries.h"

namespace px::host::cli {
namespace {

void append(std::vector<Command>& table, std::vector<Command> more) {
  for (auto& command : more) table.push_back(std::move(command));
}

Command help_command() {
  Command help;
  help.name = "help";
  help.summary = "lists the commands, or shows one command's usage";
  help.args.positionals = {{"COMMAND", "a command, e.g. battery", false}, {"SUBCOMMAND", "", false}};
  help.web_allowed = true;
  help.handler = [](const ParsedArgs& args, Context& context) -> CommandResult {
    if (args.positionals.empty()) return {0, general_usage(), {}};
    const Command* command = find_command(args.positionals[0]);
    if (!command) return context.usage_error("unknown command '" + args.positionals[0] + "'");
    std::string path = command->name;
    if (auto sub_name = args.positional(1)) {
      auto sub = std::find_if(command->subcommands.begin(), command->subcommands.end(),
                              [&](const Command& c) { return c.name == *sub_name; });
      if (sub == command->subcommands.end())
        return context.usage_error("'" + path + "' has no subcommand '" + *sub_name + "'");
      return {0, command_usage(*sub, path + " " + sub->name), {}};
    }
    return {0, command_usage(*command, path), {}};
  };
  return help;
}

std::vector<Command> make_table() {
  std::vector<Command> table;
  append(table, device_commands());
  append(table, view_commands());
  append(table, battery_commands());
  append(table, springboard_commands());
  table.push_back(settings_command());
  table.push_back(account_command());
  table.push_back(hardware_command());
  table.push_back(web_command());
  table.push_back(history_command());
  table.push_back(help_command());
  return table;
}

CommandResult run_entry(const Command& command, const std::string& path, const std::vector<std::string>& args,
                        const RunOptions& options) {
  if (options.caller == Caller::web && !command.web_allowed)
    return Context::failure("'" + path + "' cannot be run from the web page", 2);
  std::string usage = command_usage(command, path);
  Context context(options, path, usage);
  if (!command.subcommands.empty()) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
      if (!args.empty()) return {0, usage, {}};
      return context.usage_error("which " + path + " command?");
    }
    for (const auto& sub : command.subcommands)
      if (sub.name == args[0]) return run_entry(sub, path + " " + sub.name, {args.begin() + 1, args.end()}, options);
    return context.usage_error("unknown " + path + " command '" + args[0] + "'");
  }
  auto parsed = parse_args(command.args, args);
  if (!parsed.args) return context.usage_error(parsed.error);
  if (parsed.args->help) return {0, usage, {}};
  CommandResult result = command.handler(*parsed.args, context);
  result.output = context.take_collected(Stream::output) + result.output;
  result.error = context.take_collected(Stream::error) + result.error;
  return result;
}

}  // namespace

void Context::write(Stream stream, std::string_view text) {
  if (m_options.sink)
    m_options.sink(stream, text);
  else
    (stream == Stream::output ? m_collected_output : m_collected_error).append(text);
}

CommandResult Context::usage_error(const std::string& why) const {
  return {2, {}, "simdevice " + m_path + ": " + why + "\n" + m_usage};
}

CommandResult Context::failure(const std::string& why, int status) { return {status, {}, "simdevice: " + why + "\n"}; }

std::string Context::take_collected(Stream stream) {
  return std::exchange(stream == Stream::output ? m_collected_output : m_collected_error, {});
}

const std::vector<Command>& commands() {
  static const std::vector<Command> table = make_table();
  return table;
}

const Command* find_command(std::string_view name) {
  for (const auto& command : commands())
    if (command.name == name) return &command;
  return nullptr;
}

std::string command_usage(const Command& command, const std::string& path) {
  if (!command.subcommands.empty()) {
    std::string text = "usage: simdevice " + path + " COMMAND\n" + command.summary + "\n";
    for (const auto& sub : command.subcommands) {
      std::string line = "  " + path + " " + sub.name;
      if (auto s = synopsis(sub.args); !s.empty()) line += " " + s;
      text += line + "\n";
    }
    return text + "simdevice help " + path + " COMMAND shows one of them.\n";
  }
  std::string line = "usage: simdevice " + path;
  if (auto s = synopsis(command.args); !s.empty()) line += " " + s;
  return line + "\n" + command.summary + "\n" + argument_help(command.args);
}

std::string general_usage() {
  std::string text =
      "usage: simdevice [--root DIR] COMMAND [ARGS]\n"
      "  DIR defaults to $SIMDEVICE_ROOT, else ./device\n\n"
      "commands:\n";
  std::size_t width = 0;
  for (const auto& command : commands()) width = std::max(width, command.name.size());
  for (const auto& command : commands())
    text += "  " + command.name + std::string(width - command.name.size() + 3, ' ') + command.summary + "\n";
  return text + "\nsimdevice help COMMAND (or simdevice COMMAND --help) shows a command's usage.\n";
}

CommandResult run_command(const std::vector<std::string>& args, const RunOptions& options) {
  if (args.empty()) return {2, {}, general_usage()};
  const Command* command = find_command(args[0]);
  if (!command) return {2, {}, "simdevice: unknown command '" + args[0] + "'\n" + general_usage()};
  return run_entry(*command, command->name, {args.begin() + 1, args.end()}, options);
}

CommandResult run_command(const std::vector<std::string>& args, Caller caller) {
  RunOptions options;
  options.caller = caller;
  return run_command(args, options);
}

}  // namespace px::host::cli
