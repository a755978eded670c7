#include "host/cli/arg_parser.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace px::host::cli {
namespace {

// "-1", "-0.5", "-.5", "-inf": a negative number is a value, never an option,
// so the command that takes it can say what is wrong with it.
bool looks_like_number(const std::string& token) {
  char* end = nullptr;
  std::strtod(token.c_str(), &end);
  return token.size() > 1 && token[0] == '-' && end == token.c_str() + token.size();
}

const OptionSpec* find_option(const ArgSpec& grammar, std::string_view name) {
  for (const auto& option : grammar.options)
    if (option.name == name) return &option;
  return nullptr;
}

std::string option_synopsis(const OptionSpec& option) {
  std::string text = "[" + option.name + (option.value_name.empty() ? "" : " " + option.value_name) + "]";
  return option.repeatable ? text + "..." : text;
}

}  // namespace

std::vector<std::string> ParsedArgs::words() const {
  std::vector<std::string> words = positionals;
  for (const auto& option : options) {
    words.push_back(option.name);
    if (option.takes_value) words.push_back(option.value);
  }
  return words;
}

bool ParsedArgs::has(std::string_view option) const {
  return std::any_of(options.begin(), options.end(), [&](const auto& o) { return o.name == option; });
}

std::optional<std::string> ParsedArgs::last(std::string_view option) const {
  for (auto it = options.rbegin(); it != options.rend(); ++it)
    if (it->name == option) return it->value;
  return std::nullopt;
}

std::optional<std::string> ParsedArgs::positional(std::size_t index) const {
  if (index < positionals.size()) return positionals[index];
  return std::nullopt;
}

ParseOutcome parse_args(const ArgSpec& grammar, const std::vector<std::string>& args) {
  ParsedArgs parsed;
  auto fail = [](std::string why) { return ParseOutcome{std::nullopt, std::move(why)}; };
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& token = args[i];
    bool is_option = !options_ended && token.size() > 1 && token[0] == '-' && !looks_like_number(token);
    if (!is_option) {
      parsed.positionals.push_back(token);
      continue;
    }
    if (token == "--") {
      options_ended = true;
      continue;
    }
    if (token == "--help" || token == "-h") {
      parsed.help = true;
      continue;
    }
    std::string name = token;
    std::optional<std::string> inline_value;
    if (auto eq = token.find('='); token.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = token.substr(0, eq);
      inline_value = token.substr(eq + 1);
    }
    const OptionSpec* option = find_option(grammar, name);
    if (!option) return fail("unknown option '" + name + "'");
    if (option->value_name.empty()) {
      if (inline_value) return fail(name + " takes no value");
      parsed.options.push_back({name, "", false});
      continue;
    }
    if (!inline_value) {
      if (i + 1 >= args.size()) return fail(name + " needs " + option->value_name);
      inline_value = args[++i];
    }
    parsed.options.push_back({name, *inline_value, true});
  }
  if (parsed.help) return ParseOutcome{std::move(parsed), {}};
  std::size_t required = static_cast<std::size_t>(
      std::count_if(grammar.positionals.begin(), grammar.positionals.end(), [](const auto& p) { return p.required; }));
  if (parsed.positionals.size() < required) {
    const auto& missing = grammar.positionals[parsed.positionals.size()];
    return fail(missing.name + " is missing");
  }
  if (parsed.positionals.size() > grammar.positionals.size())
    return fail("unexpected argument '" + parsed.positionals[grammar.positionals.size()] + "'");
  return ParseOutcome{std::move(parsed), {}};
}

std::optional<long long> parse_count(const std::string& text, long long max) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  long long n = std::stoll(text);
  if (n > max) return std::nullopt;
  return n;
}

std::optional<double> parse_non_negative(const std::string& text) {
  if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.')) return std::nullopt;
  char* end = nullptr;
  double d = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(d)) return std::nullopt;
  return d;
}

std::string synopsis(const ArgSpec& grammar) {
  std::string text;
  auto add = [&](const std::string& part) { text += (text.empty() ? "" : " ") + part; };
  for (const auto& p : grammar.positionals) add(p.required ? p.name : "[" + p.name + "]");
  for (const auto& o : grammar.options) add(option_synopsis(o));
  return text;
}

std::string argument_help(const ArgSpec& grammar) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (const auto& p : grammar.positionals)
    if (!p.help.empty()) rows.emplace_back(p.name, p.help);
  for (const auto& o : grammar.options)
    if (!o.help.empty()) rows.emplace_back(o.name + (o.value_name.empty() ? "" : " " + o.value_name), o.help);
  std::size_t width = 0;
  for (const auto& row : rows) width = std::max(width, row.first.size());
  std::string text;
  for (const auto& [name, help] : rows) text += "  " + name + std::string(width - name.size() + 3, ' ') + help + "\n";
  for (const auto& note : grammar.notes) text += note + "\n";
  return text;
}

}  // namespace px::host::cli
