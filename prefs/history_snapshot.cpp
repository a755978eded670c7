#include "prefs/history_snapshot.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "history/health.h"
#include "history/kept_reader.h"
#include "history/overview.h"
#include "history/remaining_text.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "prefs/history_texts.h"

namespace px::prefs {
namespace {

constexpr std::int64_t kDay = 86400;
// A level line is broken where the device recorded nothing for this long.
constexpr std::int64_t kLevelGap = 6 * 3600;

// What tells one state of the store from another without opening it: the
// store's own stamp, and the device clock's minute (the rows count days back
// from now).
struct StoreKey {
  std::string root;
  std::int64_t minute = 0;
  history::StoreStamp files;
  bool operator==(const StoreKey&) const = default;
};

StoreKey store_key(std::int64_t now) { return {platform::sim::device_root(), now / 60, history::StoreStamp::of()}; }

struct SnapshotCache {
  std::unique_ptr<HistorySnapshot> snapshot;
  StoreKey key;
  bool turn_ended = true;
  std::weak_ptr<int> observing;  // expires when the run loop drops its observers (tests reset it)
};

SnapshotCache& cache() {
  static SnapshotCache c;
  return c;
}

}  // namespace

namespace {

// The dashed line from the newest level to where the estimate takes it,
// cut where the chart ends.
std::vector<ChartPoint> level_projection(const ChartData& c, const history::RemainingEstimate& remaining) {
  if (remaining.status != history::RemainingStatus::ok || c.lines.empty() || c.lines.back().empty()) return {};
  if (remaining.direction == history::RemainingDirection::none) return {};
  ChartPoint from = c.lines.back().back();
  ChartPoint to{from.x + remaining.seconds, remaining.direction == history::RemainingDirection::to_full ? 100.0 : 0.0};
  if (to.x > c.x.max && to.x > from.x) {
    double t = (c.x.max - from.x) / (to.x - from.x);
    to = {c.x.max, from.y + t * (to.y - from.y)};
  }
  return {from, to};
}

}  // namespace

ChartData level_chart_data(const std::vector<history::Sample>& last_day, std::int64_t now,
                           const history::RemainingEstimate& remaining) {
  ChartData c;
  c.title = "Battery level, last 24 hours";
  c.fill_under = true;
  c.x = {static_cast<double>(now - kDay),
         static_cast<double>(now),
         {{double(now - kDay), "24 h ago"}, {double(now - kDay / 2), "12 h ago"}, {double(now), "now"}}};
  // With a time left the chart runs on past now, a half day further.
  if (remaining.status == history::RemainingStatus::ok) {
    c.title = "Battery level, last 24 hours and ahead";
    c.x.max = double(now + kLevelAhead);
    c.x.labels.push_back({c.x.max, "in 12 h"});
  }
  c.y = {0, 100, {{0, "0 %"}, {50, "50 %"}, {100, "100 %"}}};
  c.empty_text = "No level recorded in the last 24 hours";
  std::optional<std::int64_t> previous;
  std::optional<std::int32_t> lowest, highest, latest;
  for (const auto& s : last_day) {
    if (!s.level || s.time < now - kDay) continue;
    if (!previous || s.time - *previous > kLevelGap) c.lines.emplace_back();
    c.lines.back().push_back({double(s.time), double(*s.level)});
    previous = s.time;
    lowest = std::min(lowest.value_or(*s.level), *s.level);
    highest = std::max(highest.value_or(*s.level), *s.level);
    latest = s.level;
  }
  if (latest)
    c.summary = std::to_string(*latest) + " % now, " + std::to_string(*lowest) + "–" + std::to_string(*highest) +
                " % in 24 hours";
  else
    c.summary = c.empty_text;
  c.forecast = level_projection(c, remaining);
  if (!c.forecast.empty())
    c.summary +=
        std::string(remaining.direction == history::RemainingDirection::to_full ? ", full in " : ", empty in ") +
        history::remaining_text(remaining);
  return c;
}

ChartData health_chart_data(const std::vector<history::DayHealth>& days, const history::Forecast& forecast) {
  ChartData c;
  c.title = "Battery health, all time";
  c.guide = history::kEndOfLifeHealth;
  c.empty_text = "No capacity recorded yet";
  double low = history::kEndOfLifeHealth, high = 100;
  std::vector<ChartPoint> run;
  for (const auto& d : days) {
    run.push_back({double(d.day + kDay / 2), d.health});
    low = std::min(low, d.health);
    high = std::max(high, d.health);
  }
  if (!run.empty()) c.lines.push_back(run);
  for (const auto& p : forecast.projection) c.forecast.push_back({double(p.time), p.health});
  double first = run.empty() ? 0 : run.front().x;
  double last = run.empty() ? 1 : run.back().x;
  if (!c.forecast.empty()) last = std::max(last, c.forecast.back().x);
  if (last <= first) last = first + kDay;
  c.x = {first, last, {}};
  if (!run.empty()) {
    auto span = std::int64_t(last - first);
    c.x.labels = {{first, axis_time_text(std::int64_t(first), span)}, {last, axis_time_text(std::int64_t(last), span)}};
  }
  c.y = {std::floor(low / 5) * 5 - 2, std::ceil(high / 5) * 5, {}};
  for (double y = std::ceil(c.y.min / 10) * 10; y <= c.y.max; y += 10)
    c.y.labels.push_back({y, std::to_string(static_cast<int>(y)) + " %"});
  if (!days.empty()) {
    c.summary = health_text(days.front().health) + " → " + health_text(days.back().health);
    if (forecast.time_80) c.summary += ", 80 % around " + month_text(*forecast.time_80);
  } else {
    c.summary = c.empty_text;
  }
  return c;
}

HistorySnapshot unavailable_snapshot(std::int64_t now, history::StoreResult<> why) {
  HistorySnapshot snap;
  snap.now = now;
  snap.status = why.ok() ? history::StoreError{history::StoreProblem::unavailable, ""} : why;
  snap.level_chart = level_chart_data({}, now);
  snap.health_chart = health_chart_data({}, {});
  snap.level_chart.empty_text = snap.health_chart.empty_text = kHistoryUnavailable;
  snap.level_chart.summary = snap.health_chart.summary = kHistoryUnavailable;
  return snap;
}

HistorySnapshot read_history(std::int64_t now) {
  history::HistoryReader reader;
  history::HistoryOverview o = history::read_overview(reader, now);
  // No store yet (never recorded, or just made) reads as empty, like a cleared
  // one; "History unavailable" is for a store that cannot be read.
  if (!o.status.ok() && o.status.error().problem == history::StoreProblem::missing) o = {};
  if (!o.status.ok()) return unavailable_snapshot(now, o.status);
  HistorySnapshot snap;
  snap.now = now;
  snap.health_now = o.health_now;
  snap.health_30_days_ago = o.health_30_days_ago;
  snap.health_365_days_ago = o.health_365_days_ago;
  snap.cycles_per_day = o.cycles_per_day;
  snap.last_full_charge = o.last_full_charge;
  snap.forecast = std::move(o.forecast);
  snap.sessions_last_30_days = o.sessions_last_30_days;
  snap.last_sessions = std::move(o.last_sessions);
  // The one estimate the Battery Data pane and the tweak show too.
  snap.level_chart = level_chart_data(o.last_24_hours, now, history::read_remaining(reader, now));
  snap.health_chart = health_chart_data(o.health_days, snap.forecast);
  if (!o.last) {
    snap.level_chart.empty_text = snap.health_chart.empty_text = kNoSamplesYet;
    snap.level_chart.summary = snap.health_chart.summary = kNoSamplesYet;
  }
  return snap;
}

const HistorySnapshot& current_history() {
  SnapshotCache& c = cache();
  // The end of each turn of the main loop ends a screen; the loop is only
  // watched, never woken, so an open pane costs nothing while nothing happens.
  if (c.observing.expired()) {
    auto token = std::make_shared<int>(0);
    c.observing = token;
    platform::foundation::RunLoop::main().add_turn_observer([token] { cache().turn_ended = true; });
    c.turn_ended = true;
  }
  if (c.snapshot && !c.turn_ended) return *c.snapshot;
  c.turn_ended = false;
  // Rounded as the battery status rounds UpdateTime: the newest sample is
  // never a second after the pane's "now".
  auto now = static_cast<std::int64_t>(std::llround(platform::sim::device_now()));
  StoreKey key = store_key(now);
  if (!c.snapshot || !(key == c.key)) {
    c.snapshot = std::make_unique<HistorySnapshot>(read_history(now));
    c.key = key;
  }
  return *c.snapshot;
}

void forget_history_snapshot() { cache().snapshot.reset(); }

}  // namespace px::prefs
