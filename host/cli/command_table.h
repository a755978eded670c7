#pragma once
// The one table of simdevice commands. Each entry has its name, a summary,
// the grammar of its arguments (the usage is made from it), whether the web
// page may run it, and a handler that returns the exit status and the text to
// show — handlers never print and never exit, so the terminal and the web page
// run the same code. A new command is one more entry: a file
// host/cli/commands_<name>.cpp defining a function that returns its entry (or
// entries), declared in command_entries.h and listed in command_table.cpp.
//
// Exit status: 0 done; 2 the command line or a value is wrong (the message
// says which, usage follows where it helps); 1 the device refused or did not
// answer.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/cli/arg_parser.h"

namespace px::host::cli {

struct CommandResult {
  int status = 0;
  std::string output;  // for stdout
  std::string error;   // for stderr
};

enum class Caller { terminal, web };
enum class Stream { output, error };

// How a command line is run. Long-running commands (watch, record, demo)
// write as they go through `sink`; without one their text is collected into
// the result. `stop_requested` ends them (Ctrl-C on the terminal, a closed
// page on the web); without it they run to their own end.
struct RunOptions {
  Caller caller = Caller::terminal;
  std::function<void(Stream, std::string_view)> sink;
  std::function<bool()> stop_requested;
};

// What a handler is given besides its arguments.
class Context {
 public:
  Context(const RunOptions& options, std::string command_path, std::string usage)
      : m_options(options), m_path(std::move(command_path)), m_usage(std::move(usage)) {}

  Caller caller() const { return m_options.caller; }
  bool streaming() const { return static_cast<bool>(m_options.sink); }
  bool stop_requested() const { return m_options.stop_requested && m_options.stop_requested(); }
  // Text shown as it comes (through the sink, else kept for the result).
  void write(Stream stream, std::string_view text);

  // Status 2, "simdevice PATH: why" and the command's usage.
  CommandResult usage_error(const std::string& why) const;
  // Status `status` with "simdevice: why".
  static CommandResult failure(const std::string& why, int status = 1);

  // What was written without a sink, taken out for the result.
  std::string take_collected(Stream stream);

 private:
  const RunOptions& m_options;
  std::string m_path;
  std::string m_usage;
  std::string m_collected_output, m_collected_error;
};

using CommandHandler = std::function<CommandResult(const ParsedArgs&, Context&)>;

struct Command {
  std::string name;
  std::string summary;
  ArgSpec args;
  bool web_allowed = false;
  CommandHandler handler;
  // Commands with subcommands (settings) have no handler of their own.
  std::vector<Command> subcommands{};
};

// Every command, in the order `simdevice help` lists them.
const std::vector<Command>& commands();

// The entry named `name`, or null.
const Command* find_command(std::string_view name);

// "usage: simdevice NAME SYNOPSIS", the summary and the argument help; for a
// command with subcommands, one line per subcommand. `path` is how the
// command is called ("settings set").
std::string command_usage(const Command& command, const std::string& path);

// The overview `simdevice help` prints.
std::string general_usage();

// Runs one command line (args[0] is the command name, no global --root).
CommandResult run_command(const std::vector<std::string>& args, const RunOptions& options);
CommandResult run_command(const std::vector<std::string>& args, Caller caller);

}  // namespace px::host::cli
