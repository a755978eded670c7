#pragma once
// Everything the History pane shows, read in one read transaction: the
// figures, the forecast, the recent charge sessions and both charts' data.
// `simdevice history` and the pane derive their answers through this and the
// functions it calls, so the two always agree.

#include <cstdint>
#include <optional>
#include <vector>

#include "history/forecast.h"
#include "history/health.h"
#include "history/sessions.h"
#include "history/store.h"

namespace px::history {

inline constexpr std::int64_t kRecentSeconds = 30 * 86400;
inline constexpr std::size_t kListedSessions = 20;
// The level chart keeps, of each of these slices of the last 24 hours, the
// first and last samples and those with the lowest and highest level: the
// drawing and its "X % now, low–high" summary are the same as from every
// sample, and a crafted store of millions of rows costs a few thousand.
inline constexpr std::int64_t kLevelChartSlices = 1440;

struct HistoryOverview {
  // Not ok: the pane shows "History unavailable" (missing: nothing recorded yet).
  StoreResult<> status;
  std::optional<Sample> last;
  std::optional<double> health_now;  // the last sample's MaxCapacity ÷ DesignCapacity
  std::optional<double> health_30_days_ago, health_365_days_ago;
  std::optional<double> cycles_per_day;  // over the last 30 days
  std::optional<std::int64_t> last_full_charge;
  Forecast forecast;
  std::size_t sessions_last_30_days = 0;     // sessions begun in the last 30 days
  std::vector<ChargeSession> last_sessions;  // up to kListedSessions, newest first
  std::vector<Sample> last_24_hours;         // the level chart (the pane's readings, with a level)
  std::vector<DayHealth> health_days;        // the health chart (per-day medians, all time)
};

// Reads the store through `reader` (opened here when it is not) as of device
// time `now`, in one walk over the samples that holds none of them: memory
// stays bounded by the number of days, whatever the store holds.
HistoryOverview read_overview(HistoryReader& reader, std::int64_t now);

}  // namespace px::history
