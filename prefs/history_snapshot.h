#pragma once
// What the History panes show, read from the history store in one read
// transaction. A render of a pane asks many getters in a row; they share one
// snapshot, so every row and chart of one screen agree with each other. The
// first getter after a turn of the main loop looks whether the store (or the
// clock's minute) changed since, and reads it again only then: one read per
// screen at most, none while nothing changes.

#include <cstdint>
#include <optional>
#include <vector>

#include "history/forecast.h"
#include "history/overview.h"
#include "history/remaining_estimate.h"
#include "history/sessions.h"
#include "history/store.h"
#include "prefs/history_chart.h"

namespace px::prefs {

struct HistorySnapshot {
  history::StoreResult<> status;  // not ok: every row says "History unavailable"
  std::int64_t now = 0;           // the device clock when read
  std::optional<double> health_now;
  std::optional<double> health_30_days_ago, health_365_days_ago;
  std::optional<double> cycles_per_day;  // over the last 30 days
  std::optional<std::int64_t> last_full_charge;
  history::Forecast forecast;
  std::size_t sessions_last_30_days = 0;
  std::vector<history::ChargeSession> last_sessions;  // newest first, at most history::kListedSessions
  ChartData level_chart, health_chart;
};

// Reads the store as it is at device time `now`.
HistorySnapshot read_history(std::int64_t now);
// The snapshot of the screen being rendered (read at the device's present).
const HistorySnapshot& current_history();
// Makes the next getter read the store whatever changed (benchmarks: every
// iteration opens the pane afresh).
void forget_history_snapshot();

// The charts' data from the figures read (exposed for tests).
// The level chart shows `remaining`, when it applies, as a dashed line from
// the newest level to empty or full (kLevelAhead at most ahead of now).
ChartData level_chart_data(const std::vector<history::Sample>& last_day, std::int64_t now,
                           const history::RemainingEstimate& remaining = {});
inline constexpr std::int64_t kLevelAhead = 12 * 3600;
ChartData health_chart_data(const std::vector<history::DayHealth>& days, const history::Forecast& forecast);

}  // namespace px::prefs
