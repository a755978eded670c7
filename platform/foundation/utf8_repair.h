#pragma once
// UTF-8 validation and repair for the strings of property lists. libplist
// passes string bytes through unchecked in both formats, and its binary writer
// reads past a string's end on invalid UTF-8: what is read is made valid, and
// what is written is checked first.

#include <string>
#include <string_view>

namespace px::platform::foundation::plist {

// True when `s` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing beyond U+10FFFF, no sequence cut short.
bool valid_utf8(std::string_view s);

// `s` with each byte that starts no valid sequence replaced by U+FFFD; valid
// text comes back unchanged.
std::string repaired_utf8(std::string_view s);

}  // namespace px::platform::foundation::plist
