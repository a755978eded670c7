#pragma once
// Structural check of a binary property list before libplist parses it.
// libplist 2.2 trusts the trailer, the offset table and the object
// references, and recurses on nesting; this walks the same structure without
// recursion and refuses what would make it read out of bounds, loop, or nest
// beyond the limit.

#include <string_view>

namespace foundation::plist {

enum class BinaryCheck { ok, malformed, too_deep };

BinaryCheck check_binary_plist(std::string_view bytes, int max_depth);

}  // namespace foundation::plist
