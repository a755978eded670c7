#include "host/cli/battery_arguments.h"

namespace px::host::cli {
namespace {

using platform::foundation::Errc;
using platform::foundation::fail;

constexpr const char* kState = "--state";
constexpr const char* kSet = "--set";
constexpr const char* kUnset = "--unset";
constexpr const char* kNoStatus = "--no-status";
constexpr const char* kReset = "--reset";

ArgSpec make_grammar() {
  ArgSpec grammar;
  grammar.positionals = {{"LEVEL", "0..1, N% or -1 (a level the platform cannot tell)", false}};
  grammar.options = {
      {kState, "STATE", device::state_choices()},
      {kSet, "KEY=VALUE", "sets a key of the status dictionary (dotted for nested keys)", true},
      {kUnset, "KEY", "removes a key of the status dictionary", true},
      {kNoStatus, "", "this one broadcast carries no status dictionary"},
      {kReset, "", "forgets every hand-set key"},
  };
  grammar.notes = {"--set, --unset and --reset apply in the order given: `--set A=1 --reset` leaves nothing",
                   "hand-set, `--reset --set A=1` leaves A."};
  return grammar;
}

platform::foundation::Result<std::string> checked_key(const std::string& key) {
  if (!device::split_key_path(key)) return fail(Errc::invalid, "bad key '" + key + "'");
  return key;
}

}  // namespace

const ArgSpec& battery_grammar() {
  static const ArgSpec grammar = make_grammar();
  return grammar;
}

platform::foundation::Result<device::BatteryChange> battery_change_from_args(const ParsedArgs& args) {
  using Kind = device::KeyEdit::Kind;
  device::BatteryChange change;
  if (auto text = args.positional(0)) {
    change.level = device::parse_level(*text);
    if (!change.level) return fail(Errc::invalid, "bad level '" + *text + "': give 0..1, N% or -1");
  }
  // In the order given: the edits apply in that order, and of two --state the later wins.
  for (const GivenOption& option : args.options) {
    if (option.name == kState) {
      change.state = device::parse_state(option.value);
      if (!change.state)
        return fail(Errc::invalid, "unknown battery state '" + option.value + "' (" + device::state_choices() + ")");
    } else if (option.name == kSet) {
      auto eq = option.value.find('=');
      if (eq == std::string::npos) return fail(Errc::invalid, std::string(kSet) + " needs KEY=VALUE");
      auto key = checked_key(option.value.substr(0, eq));
      if (!key) return key.error();
      change.edits.push_back({Kind::set, *key, device::parse_typed_value(option.value.substr(eq + 1))});
    } else if (option.name == kUnset) {
      auto key = checked_key(option.value);
      if (!key) return key.error();
      change.edits.push_back({Kind::unset, *key, {}});
    } else if (option.name == kReset) {
      change.edits.push_back({Kind::reset, {}, {}});
    } else if (option.name == kNoStatus) {
      change.no_status = true;
    }
  }
  return change;
}

}  // namespace px::host::cli
