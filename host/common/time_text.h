#pragma once
// The one reading of a time a user types, for every command that takes one
// (simdevice clock, boot --clock, SpringBoard's clock command, history
// --since/--until):
//   HH:MM                            today, in the device's time zone
//   YYYY-MM-DD HH:MM[:SS]            in the device's time zone
//   YYYY-MM-DDTHH:MM[:SS][Z|±HH:MM]  ISO 8601: with a zone it is that zone's
//                                    time (so a time the device prints in UTC
//                                    reads back), without one the device's
//   Unix seconds                     e.g. 1700000000 or 1700000000.5
// The device's time zone is TZ, as for every process of the device. Times the
// device cannot hold (its property-list dates: 1932-12-13T20:45:53Z to
// 2069-01-19T03:14:06Z) are refused.

#include <string>

#include "platform/foundation/result.h"

namespace px::host::common {

inline constexpr double kEarliestDeviceTime = -1169176447.0;  // 1932-12-13T20:45:53Z
inline constexpr double kLatestDeviceTime = 3125790846.0;     // 2069-01-19T03:14:06Z

// For usage lines: the forms above in one line.
inline constexpr const char* kTimeForms =
    "HH:MM, \"YYYY-MM-DD HH:MM[:SS]\", YYYY-MM-DDTHH:MM[:SS][Z|+HH:MM] or Unix seconds, 1932 to 2069";

// Unix seconds; a failure says, for a person, what is wrong with the text.
// `now_unix` says which day "today" is for HH:MM.
platform::foundation::Result<double> parse_device_time(const std::string& text, double now_unix);

}  // namespace px::host::common
