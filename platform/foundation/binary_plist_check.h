#pragma once
// Structural check of a binary property list before libplist parses it.
// libplist 2.2 trusts the trailer, the offset table and the object
// references, and recurses on nesting; this walks the same structure without
// recursion and refuses what would make it read out of bounds, loop, nest
// beyond the limit, expand beyond the node limit, or hit undefined behaviour.
//
// What libplist 2.2 does with crafted binary input, and where it is stopped
// here (each case has a test in tests/platform/reliability/binary_plist_guard_test.cpp):
// - Offset table: plist_from_bin forms `plist_bin + offset_table_offset` and
//   `num_objects * offset_size` from the trailer before its checks; a huge
//   offset or count overflows the pointer or the product (undefined
//   behaviour, and reads past the buffer when the wrapped check passes).
//   Here every trailer field is checked with overflow-free arithmetic
//   (count <= table bytes / offset size) before anything is computed from it.
// - Object offsets pointing into the offset table or the trailer, object
//   lengths running past the table, references >= the object count: refused.
// - Date objects: plist_get_date_val converts the stored double to int32_t
//   seconds; NaN, infinities and anything outside +-2^31 s is a
//   float-to-int overflow (undefined behaviour). Refused as malformed.
// - Shared references: libplist copies a referenced object at every use, so
//   a few hundred bytes of "array holding the previous array twice" expand to
//   2^depth nodes (memory and time). The expanded node count is bounded.
// - Strings and keys holding a NUL: libplist asserts that a string's length
//   equals its strlen when it hands it out, and Debian builds it with
//   assertions on, so one NUL aborts the reading process (found by fuzzing).
//   Refused here; xml_plist_check.h refuses NUL bytes in XML for the same reason.
// - Cycles and nesting: libplist's parser and writer recurse; cycles are
//   refused, depth is bounded.
// INT64_MIN (the other libplist 2.2 negation, in the XML writer's size
// estimate) is a writer-side matter, handled in property_list.cpp.

#include <cstdint>
#include <string_view>

#include "platform/foundation/result.h"

namespace px::platform::foundation::plist {

// Fails with malformed, too_deep, or too_large when the document expands
// beyond `max_nodes`. `max_nodes` bounds the number of values the document expands to, counting a
// shared object once per reference.
Result<void> check_binary_plist(std::string_view bytes, int max_depth, std::uint64_t max_nodes);

}  // namespace px::platform::foundation::plist
