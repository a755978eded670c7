// The command table: every command reachable from help, help and dispatch
// agreeing, usage on request and on mistakes, and the argument grammar.

#include "host/cli/command_table.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace px::host::cli {
namespace {

// The command names `simdevice help` lists.
std::vector<std::string> names_listed_by_help() {
  auto result = run_command({"help"}, Caller::terminal);
  std::istringstream lines(result.output);
  std::vector<std::string> names;
  bool in_list = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == "commands:") {
      in_list = true;
    } else if (in_list && line.rfind("  ", 0) == 0) {
      names.push_back(line.substr(2, line.find(' ', 2) - 2));
    } else if (in_list) {
      break;
    }
  }
  return names;
}

TEST(CommandTable, HelpListsExactlyTheCommandsThatDispatch) {
  std::vector<std::string> table;
  for (const auto& command : commands()) table.push_back(command.name);
  EXPECT_EQ(names_listed_by_help(), table);
  EXPECT_EQ(std::set<std::string>(table.begin(), table.end()).size(), table.size()) << "a name twice";
  for (const auto& name : names_listed_by_help()) {
    auto result = run_command({name, "--help"}, Caller::terminal);
    EXPECT_EQ(result.status, 0) << name << ": " << result.error;
  }
}

TEST(CommandTable, EveryCommandAndSubcommandPrintsItsUsageWithoutADevice) {
  for (const auto& command : commands()) {
    auto asked = run_command({"help", command.name}, Caller::terminal);
    auto flagged = run_command({command.name, "--help"}, Caller::terminal);
    EXPECT_EQ(asked.status, 0) << command.name;
    EXPECT_EQ(flagged.status, 0) << command.name;
    EXPECT_EQ(asked.output, flagged.output) << command.name;
    EXPECT_EQ(asked.output.rfind("usage: simdevice " + command.name, 0), 0u) << asked.output;
    EXPECT_NE(asked.output.find(command.summary), std::string::npos) << command.name;
    for (const auto& sub : command.subcommands) {
      auto sub_asked = run_command({"help", command.name, sub.name}, Caller::terminal);
      auto sub_flagged = run_command({command.name, sub.name, "-h"}, Caller::terminal);
      EXPECT_EQ(sub_asked.status, 0) << sub.name;
      EXPECT_EQ(sub_flagged.status, 0) << sub.name;
      EXPECT_EQ(sub_asked.output, sub_flagged.output);
      EXPECT_EQ(sub_asked.output.rfind("usage: simdevice " + command.name + " " + sub.name, 0), 0u) << sub_asked.output;
      // The parent's usage names each subcommand.
      EXPECT_NE(asked.output.find(command.name + " " + sub.name), std::string::npos) << sub.name;
    }
  }
}

TEST(CommandTable, HelpIsAskedForNotMistakenForAValue) {
  // `clock --help` once answered "cannot read the time --help".
  auto result = run_command({"clock", "--help"}, Caller::terminal);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output.rfind("usage: simdevice clock TIME", 0), 0u) << result.output;
  EXPECT_TRUE(result.error.empty());
}

TEST(CommandTable, MistakesGetTheUsageAndStatusTwo) {
  auto unknown = run_command({"frobnicate"}, Caller::terminal);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.error.find("unknown command 'frobnicate'"), std::string::npos);
  EXPECT_NE(unknown.error.find("commands:"), std::string::npos);

  auto option = run_command({"status", "--yaml"}, Caller::terminal);
  EXPECT_EQ(option.status, 2);
  EXPECT_NE(option.error.find("unknown option '--yaml'"), std::string::npos) << option.error;
  EXPECT_NE(option.error.find("usage: simdevice status [--json]"), std::string::npos) << option.error;

  EXPECT_EQ(run_command({"settings"}, Caller::terminal).status, 2);
  auto sub = run_command({"settings", "fly"}, Caller::terminal);
  EXPECT_EQ(sub.status, 2);
  EXPECT_NE(sub.error.find("settings open URL"), std::string::npos) << sub.error;
  EXPECT_EQ(run_command({"settings", "set", "Fahrenheit"}, Caller::terminal).status, 2);  // VALUE missing
  EXPECT_EQ(run_command({"help", "frobnicate"}, Caller::terminal).status, 2);
  EXPECT_EQ(run_command({"help", "settings", "fly"}, Caller::terminal).status, 2);
  EXPECT_EQ(run_command({"post", "a", "b"}, Caller::terminal).status, 2);
  EXPECT_EQ(run_command({}, Caller::terminal).status, 2);
}

TEST(CommandTable, TheWebPageRunsOnlyWhatItIsAllowed) {
  for (const auto& command : commands()) {
    if (command.web_allowed) continue;
    auto result = run_command({command.name, "--help"}, Caller::web);
    EXPECT_EQ(result.status, 2) << command.name;
    EXPECT_NE(result.error.find("web page"), std::string::npos) << command.name;
  }
  EXPECT_EQ(run_command({"help"}, Caller::web).status, 0);
}

ArgSpec battery_like() {
  ArgSpec grammar;
  grammar.positionals = {{"LEVEL", "", false}};
  grammar.options = {{"--set", "KEY=VALUE", "", true}, {"--unset", "KEY", "", true}, {"--reset", "", ""}};
  return grammar;
}

TEST(ArgParser, KeepsOptionsInTheOrderGivenInBothSpellings) {
  auto parsed = parse_args(battery_like(), {"--set", "A=1", "--reset", "--unset=A", "-1"});
  ASSERT_TRUE(parsed.args) << parsed.error;
  ASSERT_EQ(parsed.args->options.size(), 3u);
  EXPECT_EQ(parsed.args->options[0].name, "--set");
  EXPECT_EQ(parsed.args->options[0].value, "A=1");
  EXPECT_EQ(parsed.args->options[1].name, "--reset");
  EXPECT_EQ(parsed.args->options[2].value, "A");
  EXPECT_EQ(parsed.args->positionals, std::vector<std::string>{"-1"});  // a negative number is a value
  EXPECT_EQ(parsed.args->words(), (std::vector<std::string>{"-1", "--set", "A=1", "--reset", "--unset", "A"}));
}

TEST(ArgParser, RefusesWhatTheGrammarDoesNotAllow) {
  EXPECT_EQ(parse_args(battery_like(), {"--set"}).error, "--set needs KEY=VALUE");
  EXPECT_EQ(parse_args(battery_like(), {"--reset=1"}).error, "--reset takes no value");
  EXPECT_EQ(parse_args(battery_like(), {"--level", "3"}).error, "unknown option '--level'");
  EXPECT_EQ(parse_args(battery_like(), {"1", "2"}).error, "unexpected argument '2'");
  ArgSpec two;
  two.positionals = {{"ROW", ""}, {"VALUE", ""}};
  EXPECT_EQ(parse_args(two, {"Fahrenheit"}).error, "VALUE is missing");
  // After `--` a word that looks like an option is a value.
  auto parsed = parse_args(two, {"--", "--odd", "x"});
  ASSERT_TRUE(parsed.args);
  EXPECT_EQ(parsed.args->positionals, (std::vector<std::string>{"--odd", "x"}));
}

TEST(ArgParser, ReadsCountsAndDurationsStrictly) {
  EXPECT_EQ(parse_count("12", 100), 12);
  EXPECT_FALSE(parse_count("101", 100));
  EXPECT_FALSE(parse_count("-1", 100));
  EXPECT_FALSE(parse_count("1x", 100));
  EXPECT_FALSE(parse_count("", 100));
  EXPECT_FALSE(parse_count("99999999999999999999", 100));
  EXPECT_EQ(parse_non_negative("2.5"), 2.5);
  EXPECT_FALSE(parse_non_negative("-2"));
  EXPECT_FALSE(parse_non_negative("inf"));
  EXPECT_FALSE(parse_non_negative("1e999"));
  EXPECT_FALSE(parse_non_negative(" 1"));
}

}  // namespace
}  // namespace px::host::cli
