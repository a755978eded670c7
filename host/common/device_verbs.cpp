#include "host/common/device_verbs.h"

#include <algorithm>

#include "host/common/time_text.h"

namespace px::host::common::verbs {
namespace {

using platform::foundation::Errc;
using platform::foundation::fail;

// One command must not keep SpringBoard's loop from everything else for long.
constexpr long kMaxTicks = 100000;

constexpr Option kJsonArray{"--json", "", "as a JSON array"};
constexpr std::string_view kUrlHelp = "e.g. prefs:root=PylonexPro2";

std::string type_text(ArgType type, long max) {
  if (type == ArgType::position) return "a position from 0";
  return "a whole number up to " + std::to_string(max);
}

// A value of `type` from `text`; the failure names the argument.
platform::foundation::Result<Given> typed(std::string_view name, ArgType type, long max, const std::string& text) {
  if (type == ArgType::word || type == ArgType::rest) return Given(text);
  auto n = read_position(text);
  if (!n || (type == ArgType::count && *n > max))
    return fail(Errc::invalid, std::string(name) + " takes " + type_text(type, max) + ", not '" + text + "'");
  return Given(*n);
}

std::string text_of(const Given& value) {
  if (auto* n = std::get_if<long>(&value)) return std::to_string(*n);
  return std::get<std::string>(value);
}

}  // namespace

std::optional<long> read_position(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stol(text);
}

std::string synopsis(std::string_view verb, const Grammar& grammar) {
  std::string text(verb);
  for (const auto& operand : grammar.operands)
    text += operand.required ? " " + std::string(operand.name) : " [" + std::string(operand.name) + "]";
  for (const auto& option : grammar.options)
    text +=
        " [" + std::string(option.name) + (option.value_name.empty() ? "" : " " + std::string(option.value_name)) + "]";
  return text;
}

platform::foundation::Result<std::vector<Given>> read_arguments(std::string_view verb, const Grammar& grammar,
                                                                const std::vector<std::string>& words) {
  const std::size_t operands = grammar.operands.size();
  std::vector<Given> values(operands + grammar.options.size());
  auto usage = [&] { return fail(Errc::invalid, "usage: " + synopsis(verb, grammar)); };
  std::size_t next = 0;
  for (std::size_t i = 0; i < words.size(); ++i) {
    auto option = std::find_if(grammar.options.begin(), grammar.options.end(),
                               [&](const Option& o) { return o.name == words[i]; });
    if (option != grammar.options.end()) {
      Given& slot = values[operands + static_cast<std::size_t>(option - grammar.options.begin())];
      if (option->value_name.empty()) {
        slot = true;
        continue;
      }
      if (i + 1 >= words.size())
        return fail(Errc::invalid,
                    std::string(option->name) + " needs " +
                        (option->type == ArgType::word ? std::string(option->value_name) : std::string("a number")));
      auto value = typed(option->name, option->type, option->max, words[++i]);
      if (!value) return value.error();
      slot = std::move(*value);
      continue;
    }
    if (next > 0 && grammar.operands[next - 1].type == ArgType::rest) {
      std::get<std::string>(values[next - 1]) += " " + words[i];
      continue;
    }
    if (next >= operands) return usage();
    const Operand& operand = grammar.operands[next];
    auto value = typed(operand.name, operand.type, operand.max, words[i]);
    if (!value) return value.error();
    values[next++] = std::move(*value);
  }
  for (std::size_t i = next; i < operands; ++i)
    if (grammar.operands[i].required) return usage();
  return values;
}

std::vector<std::string> write_arguments(const Grammar& grammar, const std::vector<Given>& values) {
  std::vector<std::string> words;
  const std::size_t operands = grammar.operands.size();
  for (std::size_t i = 0; i < operands && i < values.size(); ++i)
    if (!std::holds_alternative<std::monostate>(values[i])) words.push_back(text_of(values[i]));
  for (std::size_t i = 0; i < grammar.options.size() && operands + i < values.size(); ++i) {
    const Given& value = values[operands + i];
    const Option& option = grammar.options[i];
    if (std::holds_alternative<std::monostate>(value)) continue;
    if (option.value_name.empty()) {
      if (std::get<bool>(value)) words.emplace_back(option.name);
      continue;
    }
    words.emplace_back(option.name);
    words.push_back(text_of(value));
  }
  return words;
}

// ---- The table: each verb's arguments, with the help simdevice prints.

#define PX_GRAMMAR(VERB, ...)                  \
  const Grammar& VERB::grammar() {             \
    static const Grammar grammar{__VA_ARGS__}; \
    return grammar;                            \
  }

PX_GRAMMAR(Status, {}, {})
PX_GRAMMAR(Alerts, {}, {kJsonArray})
PX_GRAMMAR(Press, {{"INDEX|TITLE", "the button, by position (from 0) or by its title"}},
           {{"--alert", "N", "the alert, by position from 0 (default: the newest)", ArgType::position}})
PX_GRAMMAR(Unlock, {}, {})
PX_GRAMMAR(Lock, {}, {})
PX_GRAMMAR(Activator, {{"NAME", "the name the listener registered under, e.g. com.zelmoraq.pylonexpro2"}}, {})
PX_GRAMMAR(Tick, {{"N", "how many time refreshes (default 1)", ArgType::count, false, kMaxTicks}},
           {{"--reset", "", "then a formatter reset, as when the locale changes"}})
PX_GRAMMAR(SetClock, {{"TIME", kTimeForms, ArgType::rest}}, {})
PX_GRAMMAR(Sync, {}, {})

PX_GRAMMAR(Open, {{"URL", kUrlHelp}}, {})
PX_GRAMMAR(Show, {}, {{"--json", "", "as JSON"}})
PX_GRAMMAR(Tap, {{"ROW", "a row's label or its index; `right` is the right bar button"}}, {})
PX_GRAMMAR(SetRow,
           {{"ROW", "a row's label or its index"},
            {"VALUE", "on/off for a switch, a number for a slider, a title or value for a choice"}},
           {})
PX_GRAMMAR(Back, {}, {})
PX_GRAMMAR(Sheet, {{"BUTTON", "cancel or post"}}, {})
PX_GRAMMAR(Close, {}, {})

PX_GRAMMAR(OpenSettings, {{"URL", kUrlHelp}}, {})
PX_GRAMMAR(Respring, {}, {})
PX_GRAMMAR(KillSpringBoard, {}, {})
PX_GRAMMAR(Shutdown, {}, {})

#undef PX_GRAMMAR

}  // namespace px::host::common::verbs
