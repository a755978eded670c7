#pragma once
// Check of an XML property list before libplist parses it, in one pass over
// the tags without parsing. What libplist 2.2's XML parser must never be given:
// - Nesting deeper than the limit: its parser recurses.
// - A date it would convert with undefined behaviour: every XML date becomes
//   int32_t seconds since 2001 with a plain cast, also a date it could not
//   read (that becomes year 1900). A <date> element must hold exactly
//   "YYYY-MM-DDTHH:MM:SSZ" with a time that fits.
// - A NUL: inside a string it makes libplist assert on a length that differs
//   from strlen, which aborts the reading process.
// - Text with no plist, dict or array element at all.

#include <string_view>

#include "platform/foundation/result.h"

namespace px::platform::foundation::plist {

// Fails with too_deep or malformed. `max_depth` counts dict and array elements; the root container is depth 1.
Result<void> check_xml_plist(std::string_view xml, int max_depth);

}  // namespace px::platform::foundation::plist
