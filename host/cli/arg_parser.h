#pragma once
// The grammar of one simdevice command (its positionals and options), the
// parser that checks a command line against it, and the usage text made from
// it — so a command's usage is written once, as data.
//
// Rules, the same for every command:
//   - options may come anywhere; `--name VALUE` and `--name=VALUE` are one;
//   - options are kept in the order given; of an option given twice, the later wins;
//   - `--` ends the options; a token such as "-1" or "-.5" is a value, not an option;
//   - `--help` / `-h` anywhere before `--` asks for the usage.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace px::host::cli {

struct OptionSpec {
  std::string name;        // "--state", "-n"
  std::string value_name;  // "STATE"; empty for a flag
  std::string help;
  bool repeatable = false;
};

struct PositionalSpec {
  std::string name;  // "LEVEL", "INDEX|TITLE"
  std::string help;
  bool required = true;
};

struct ArgSpec {
  std::vector<PositionalSpec> positionals;
  std::vector<OptionSpec> options;
  // Lines printed under the argument list (rules that concern several arguments).
  std::vector<std::string> notes;
};

struct GivenOption {
  std::string name;
  std::string value;  // "" for a flag
  bool takes_value = false;
};

struct ParsedArgs {
  std::vector<std::string> positionals;
  std::vector<GivenOption> options;  // in the order given
  bool help = false;

  // The command line again, checked: positionals, then the options in order
  // (what a device process that speaks the same grammar is sent).
  std::vector<std::string> words() const;

  bool has(std::string_view option) const;
  // The last value given for `option`.
  std::optional<std::string> last(std::string_view option) const;
  // The positional at `index`, or nothing when it was not given.
  std::optional<std::string> positional(std::size_t index) const;
};

struct ParseOutcome {
  std::optional<ParsedArgs> args;
  std::string error;  // set when args is empty: what is wrong, without the usage
};

ParseOutcome parse_args(const ArgSpec& grammar, const std::vector<std::string>& args);

// "[LEVEL] [--state STATE] [--set KEY=VALUE]..." (without the command's name).
std::string synopsis(const ArgSpec& grammar);

// The lines describing each positional and option, and the notes; empty when
// there is nothing to say beyond the synopsis.
std::string argument_help(const ArgSpec& grammar);

// Values several commands take: a whole number 0..max ("12"), a finite
// number ≥ 0 ("2.5"). Nothing for anything else (signs, spaces, "1e999").
std::optional<long long> parse_count(const std::string& text, long long max);
std::optional<double> parse_non_negative(const std::string& text);

}  // namespace px::host::cli
