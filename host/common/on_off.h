#pragma once
// Words a person types for a switch ("on", "Off", "yes", "0"…), read the same
// by every command that takes one: `simdevice hardware` and the Settings
// app's `set` for a switch row.

#include <optional>
#include <string>
#include <string_view>

namespace px::host::common {

// ASCII lower case (names and titles are ASCII; other bytes stay as they are).
inline std::string lowercase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// on/true/yes/1 or off/false/no/0, in any case; nothing for other words.
inline std::optional<bool> parse_on_off(std::string_view text) {
  std::string t = lowercase(text);
  if (t == "on" || t == "true" || t == "yes" || t == "1") return true;
  if (t == "off" || t == "false" || t == "no" || t == "0") return false;
  return std::nullopt;
}

}  // namespace px::host::common
