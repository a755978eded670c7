#include "host/device/battery_change.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <regex>

namespace device {

const char* state_name(int state) {
  switch (state) {
    case kStateUnplugged: return "unplugged";
    case kStateCharging: return "charging";
    case kStateFull: return "full";
    default: return "unknown";
  }
}

std::optional<int> parse_state(const std::string& text) {
  for (int s = kStateUnknown; s <= kStateFull; ++s)
    if (text == state_name(s)) return s;
  return std::nullopt;
}

namespace {
std::optional<double> parse_real(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
  static const std::regex number(R"([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)");
  if (!std::regex_match(text, number)) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  double d = std::strtod(text.c_str(), &end);
  if (errno == ERANGE || end != text.c_str() + text.size() || !std::isfinite(d)) return std::nullopt;
  return d;
}
}  // namespace

std::optional<double> parse_level(const std::string& text) {
  if (!text.empty() && text.back() == '%') {
    auto pct = parse_real(text.substr(0, text.size() - 1));
    if (!pct || *pct < 0 || *pct > 100) return std::nullopt;
    return *pct / 100.0;
  }
  auto level = parse_real(text);
  if (!level) return std::nullopt;
  if (*level == -1.0) return -1.0;
  if (*level < 0 || *level > 1) return std::nullopt;
  return level;
}

foundation::Value parse_typed_value(const std::string& text) {
  static const std::regex integer(R"([+-]?\d+)");
  if (std::regex_match(text, integer)) {
    errno = 0;
    long long n = std::strtoll(text.c_str(), nullptr, 10);
    if (errno != ERANGE) return n;
  }
  if (auto d = parse_real(text)) return *d;
  if (text == "true") return true;
  if (text == "false") return false;
  return text;
}

std::optional<std::vector<std::string>> split_key_path(const std::string& key) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (true) {
    std::size_t j = key.find('.', i);
    std::string part = key.substr(i, j == std::string::npos ? std::string::npos : j - i);
    if (part.empty()) return std::nullopt;
    parts.push_back(part);
    if (j == std::string::npos) break;
    i = j + 1;
  }
  return parts;
}

std::optional<BatteryChange> parse_battery_args(const std::vector<std::string>& args, std::string* error) {
  BatteryChange change;
  auto fail = [&](std::string why) -> std::optional<BatteryChange> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value_of = [&](const char* option) -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (a == "--state") {
      auto v = value_of("--state");
      if (!v) return fail("--state needs one of unknown, unplugged, charging, full");
      auto s = parse_state(*v);
      if (!s) return fail("unknown battery state '" + *v + "' (unknown, unplugged, charging or full)");
      change.state = s;
    } else if (a == "--set") {
      auto v = value_of("--set");
      auto eq = v ? v->find('=') : std::string::npos;
      if (!v || eq == std::string::npos) return fail("--set needs KEY=VALUE");
      std::string key = v->substr(0, eq);
      if (!split_key_path(key)) return fail("bad key '" + key + "'");
      change.sets.emplace_back(key, parse_typed_value(v->substr(eq + 1)));
    } else if (a == "--unset") {
      auto v = value_of("--unset");
      if (!v) return fail("--unset needs KEY");
      if (!split_key_path(*v)) return fail("bad key '" + *v + "'");
      change.unsets.push_back(*v);
    } else if (a == "--no-status") {
      change.no_status = true;
    } else if (a == "--reset") {
      change.reset = true;
    } else if (!a.empty() && a[0] == '-' && a != "-1" && !parse_level(a)) {
      return fail("unknown option '" + a + "'");
    } else {
      if (change.level) return fail("only one LEVEL may be given");
      auto level = parse_level(a);
      if (!level) return fail("bad level '" + a + "': give 0..1, N% or -1");
      change.level = level;
    }
  }
  return change;
}

namespace {
bool is_within(const std::string& key, const std::string& parent) {
  return key.size() > parent.size() && key.compare(0, parent.size(), parent) == 0 && key[parent.size()] == '.';
}

void erase_path(foundation::Value& v, const std::vector<std::string>& path, std::size_t at) {
  if (!v.is_dictionary()) return;
  auto& d = v.mutable_dictionary();
  auto it = d.find(path[at]);
  if (it == d.end()) return;
  if (at + 1 == path.size())
    d.erase(it);
  else
    erase_path(it->second, path, at + 1);
}

void set_path(foundation::Value& v, const std::vector<std::string>& path, std::size_t at,
              const foundation::Value& value) {
  if (!v.is_dictionary()) v = foundation::Dictionary{};
  auto& slot = v.mutable_dictionary()[path[at]];
  if (at + 1 == path.size())
    slot = value;
  else
    set_path(slot, path, at + 1, value);
}
}  // namespace

void BatteryOverrides::forget_related(const std::string& key, bool ancestors) {
  std::erase_if(m_sets, [&](auto& s) { return s.first == key || is_within(s.first, key); });
  std::erase_if(m_unsets, [&](auto& u) { return u == key || is_within(u, key) || (ancestors && is_within(key, u)); });
}

void BatteryOverrides::set(const std::string& key, foundation::Value value) {
  // Setting a key inside a removed dictionary brings the dictionary back.
  forget_related(key, true);
  m_sets.emplace_back(key, std::move(value));
}

void BatteryOverrides::unset(const std::string& key) {
  forget_related(key, false);
  m_unsets.insert(key);
}

void BatteryOverrides::clear() {
  m_sets.clear();
  m_unsets.clear();
}

foundation::Value BatteryOverrides::apply(foundation::Value status) const {
  if (empty()) return status;
  if (!status.is_dictionary()) status = foundation::Dictionary{};
  for (auto& key : m_unsets) erase_path(status, *split_key_path(key), 0);
  for (auto& [key, value] : m_sets) set_path(status, *split_key_path(key), 0, value);
  return status;
}

}  // namespace device
