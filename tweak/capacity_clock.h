#pragma once
// The status-bar capacity clock: while statusbarMah is on, each time-items
// update refreshes statusMah from the battery data file, and each formatter
// reset copies it into the time item's date format as literal text.

#include <cstdint>
#include <string>

#include "platform/foundation/value.h"

namespace px::tweak {

// The date format a reset gives the time item: 24-hour for timemode 1, else
// 12-hour with two blanks before the AM/PM marker.
std::string capacityClockPattern(std::int32_t timemode, const platform::foundation::Value& capacityText);

}  // namespace px::tweak
