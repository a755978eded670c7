#pragma once
// How old samples are thinned so the store stays bounded: one sample per hour
// after kHourlyAfterSeconds, one per day after kDailyAfterSeconds. The sample
// kept in each hour (or day) is its earliest; besides those, every sample the
// charge sessions and full charges rest on is kept (session_marking_samples),
// so thinning never changes them.

#include <cstdint>
#include <optional>
#include <utility>

#include "history/sessions.h"

namespace px::history {

inline constexpr std::int64_t kDaySeconds = 86400;
inline constexpr std::int64_t kHourlyAfterSeconds = 30 * kDaySeconds;
inline constexpr std::int64_t kDailyAfterSeconds = 730 * kDaySeconds;
// A pass starts at most this often; one that runs out of its time budget
// continues at the next broadcasts until it is done.
inline constexpr std::int64_t kThinningIntervalSeconds = kDaySeconds;

// Where the walk through a day has got to: what the samples before the next
// chunk left, the bucket whose earliest sample has been kept, and the last
// (time, rowid) read.
struct WindowCursor {
  ChargeState state;
  std::optional<std::int64_t> bucket;
};
struct DayProgress {
  std::optional<std::pair<std::int64_t, std::int64_t>> last;
  WindowCursor cursor;
};

}  // namespace px::history
