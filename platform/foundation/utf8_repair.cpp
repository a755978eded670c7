#include "platform/foundation/utf8_repair.h"

#include <cstdint>
#include <cstring>

namespace px::platform::foundation::plist {
namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t utf8_sequence(std::string_view s, std::size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  std::size_t len = (c >= 0xC2 && c <= 0xDF) ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  auto c1 = static_cast<unsigned char>(s[i + 1]);
  if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
    return 0;  // overlong forms, surrogates, beyond U+10FFFF
  for (std::size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return len;
}

}  // namespace

bool valid_utf8(std::string_view s) {
  // Keys and values are nearly always ASCII: eight bytes at a time until the first that is not.
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    if (word & 0x8080808080808080ULL) break;
  }
  while (i < s.size()) {
    std::size_t len = utf8_sequence(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string repaired_utf8(std::string_view s) {
  if (valid_utf8(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = utf8_sequence(s, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

}  // namespace px::platform::foundation::plist
