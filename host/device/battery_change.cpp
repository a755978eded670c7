#include "host/device/battery_change.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <regex>

#include "host/common/value_json.h"
#include "host/common/word_list.h"

namespace px::host::device {

const char* state_name(int state) {
  switch (state) {
    case kStateUnplugged:
      return "unplugged";
    case kStateCharging:
      return "charging";
    case kStateFull:
      return "full";
    default:
      return "unknown";
  }
}

std::optional<int> parse_state(const std::string& text) {
  for (int s = kStateUnknown; s <= kStateFull; ++s)
    if (text == state_name(s)) return s;
  return std::nullopt;
}

std::string state_choices() {
  static constexpr int kStates[] = {kStateUnknown, kStateUnplugged, kStateCharging, kStateFull};
  return common::word_list(kStates, state_name);
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

platform::foundation::Value parse_typed_value(const std::string& text) {
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

bool BatteryChange::resets() const {
  for (const auto& edit : edits)
    if (edit.kind == KeyEdit::Kind::reset) return true;
  return false;
}

nlohmann::json battery_change_to_json(const BatteryChange& change) {
  nlohmann::json edits = nlohmann::json::array();
  for (const auto& edit : change.edits) {
    switch (edit.kind) {
      case KeyEdit::Kind::set:
        edits.push_back({{"set", edit.key}, {"value", common::to_json(edit.value)}});
        break;
      case KeyEdit::Kind::unset:
        edits.push_back({{"unset", edit.key}});
        break;
      case KeyEdit::Kind::reset:
        edits.push_back({{"reset", true}});
        break;
    }
  }
  nlohmann::json j = {{"edits", edits}, {"no_status", change.no_status}};
  if (change.level) j["level"] = *change.level;
  if (change.state) j["state"] = *change.state;
  return j;
}

platform::foundation::Result<BatteryChange> battery_change_from_json(const nlohmann::json& j) {
  auto fail = [](const std::string& why) {
    return platform::foundation::fail(platform::foundation::Errc::invalid, "bad battery request: " + why);
  };
  if (!j.is_object()) return fail("not an object");
  BatteryChange change;
  if (j.contains("level")) {
    const auto& level = j["level"];
    if (!level.is_number()) return fail("level is not a number");
    double d = level.get<double>();
    if (d != -1.0 && !(d >= 0 && d <= 1)) return fail("level out of range");
    change.level = d;
  }
  if (j.contains("state")) {
    const auto& state = j["state"];
    if (!state.is_number_integer() || state.get<long long>() < kStateUnknown || state.get<long long>() > kStateFull)
      return fail("unknown state");
    change.state = state.get<int>();
  }
  if (j.contains("no_status")) {
    if (!j["no_status"].is_boolean()) return fail("no_status is not a boolean");
    change.no_status = j["no_status"].get<bool>();
  }
  if (!j.contains("edits") || !j["edits"].is_array()) return fail("edits is not a list");
  for (const auto& e : j["edits"]) {
    if (!e.is_object()) return fail("an edit is not an object");
    auto key_of = [&](const char* field) -> std::optional<std::string> {
      if (!e[field].is_string() || !split_key_path(e[field].get<std::string>())) return std::nullopt;
      return e[field].get<std::string>();
    };
    if (e.contains("set")) {
      auto key = key_of("set");
      if (!key || !e.contains("value") || e["value"].is_null()) return fail("a set needs a key and a value");
      platform::foundation::Value value = common::from_json(e["value"]);
      if (!(value.is_number() || value.is_string())) return fail("a set value must be scalar");
      change.edits.push_back({KeyEdit::Kind::set, *key, std::move(value)});
    } else if (e.contains("unset")) {
      auto key = key_of("unset");
      if (!key) return fail("an unset needs a key");
      change.edits.push_back({KeyEdit::Kind::unset, *key, {}});
    } else if (e.contains("reset")) {
      change.edits.push_back({KeyEdit::Kind::reset, {}, {}});
    } else {
      return fail("an edit is neither set, unset nor reset");
    }
  }
  return change;
}

namespace {
bool is_within(const std::string& key, const std::string& parent) {
  return key.size() > parent.size() && key.compare(0, parent.size(), parent) == 0 && key[parent.size()] == '.';
}

void erase_path(platform::foundation::Value& v, const std::vector<std::string>& path, std::size_t at) {
  if (!v.is_dictionary()) return;
  auto& d = v.mutable_dictionary();
  auto it = d.find(path[at]);
  if (it == d.end()) return;
  if (at + 1 == path.size())
    d.erase(it);
  else
    erase_path(it->second, path, at + 1);
}

void set_path(platform::foundation::Value& v, const std::vector<std::string>& path, std::size_t at,
              const platform::foundation::Value& value) {
  if (!v.is_dictionary()) v = platform::foundation::Dictionary{};
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

void BatteryOverrides::set(const std::string& key, platform::foundation::Value value) {
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

platform::foundation::Value BatteryOverrides::apply(platform::foundation::Value status) const {
  if (empty()) return status;
  if (!status.is_dictionary()) status = platform::foundation::Dictionary{};
  for (auto& key : m_unsets) erase_path(status, *split_key_path(key), 0);
  for (auto& [key, value] : m_sets) set_path(status, *split_key_path(key), 0, value);
  return status;
}

}  // namespace px::host::device
