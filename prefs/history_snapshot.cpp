#include "prefs/history_snapshot.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "history/health.h"
#include "platform/foundation/device_clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/run_loop.h"
#include "prefs/history_texts.h"

namespace pxprefs {
namespace {

constexpr std::int64_t kDay = 86400;
// A level line is broken where the device recorded nothing for this long.
constexpr std::int64_t kLevelGap = 6 * 3600;

std::unique_ptr<HistorySnapshot>& cached() {
  static std::unique_ptr<HistorySnapshot> snapshot;
  return snapshot;
}

// The samples a full charge or a session of the last 30 days needs; a full
// charge further back is looked for in ever wider windows.
std::optional<std::int64_t> last_full_charge(history::HistoryReader& reader, const std::vector<history::Sample>& recent,
                                             std::int64_t since) {
  auto fulls = history::full_charges(recent);
  if (!fulls.empty()) return fulls.back();
  for (std::int64_t days : {365, 0}) {
    auto older = reader.samples(days ? std::optional<std::int64_t>(since - days * kDay) : std::nullopt, since);
    fulls = history::full_charges(older);
    if (!fulls.empty()) return fulls.back();
  }
  return std::nullopt;
}

}  // namespace

ChartData level_chart_data(const std::vector<history::Sample>& last_day, std::int64_t now) {
  ChartData c;
  c.title = "Battery level, last 24 hours";
  c.fill_under = true;
  c.x = {static_cast<double>(now - kDay), static_cast<double>(now),
         {{double(now - kDay), "24 h ago"}, {double(now - kDay / 2), "12 h ago"}, {double(now), "now"}}};
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
  if (!run.empty()) c.x.labels = {{first, month_text(std::int64_t(first))}, {last, month_text(std::int64_t(last))}};
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

HistorySnapshot unavailable_snapshot(std::int64_t now, history::StoreStatus why) {
  HistorySnapshot snap;
  snap.now = now;
  snap.status = why.ok() ? history::StoreStatus{history::StoreProblem::unavailable, ""} : why;
  snap.level_chart = level_chart_data({}, now);
  snap.health_chart = health_chart_data({}, {});
  snap.level_chart.empty_text = snap.health_chart.empty_text = kHistoryUnavailable;
  snap.level_chart.summary = snap.health_chart.summary = kHistoryUnavailable;
  return snap;
}

HistorySnapshot read_history(std::int64_t now, bool list_sessions) {
  history::HistoryReader reader;
  history::StoreStatus opened = reader.open();
  if (opened.ok()) opened = reader.begin_read();
  if (!opened.ok()) return unavailable_snapshot(now, opened);
  HistorySnapshot snap;
  snap.now = now;
  std::int64_t month_ago = now - 30 * kDay;
  auto recent = reader.samples(month_ago, std::nullopt);
  auto days = history::daily_health(reader.health_readings());
  if (auto last = reader.last_sample()) snap.health_now = last->health_percent();
  snap.health_30_days_ago = history::health_at(days, now - 30 * kDay);
  snap.health_365_days_ago = history::health_at(days, now - 365 * kDay);
  snap.cycles_per_day = history::cycles_per_day(days, now, history::kPaceWindowSeconds);
  snap.last_full_charge = last_full_charge(reader, recent, month_ago);
  snap.forecast = history::forecast_health(days);
  auto sessions = history::charge_sessions(recent);
  snap.sessions_last_30_days = static_cast<std::size_t>(
      std::count_if(sessions.begin(), sessions.end(), [&](auto& s) { return s.start >= month_ago; }));
  auto day_ago = std::lower_bound(recent.begin(), recent.end(), now - kDay,
                                  [](const history::Sample& s, std::int64_t t) { return s.time < t; });
  snap.level_chart = level_chart_data({day_ago, recent.end()}, now);
  snap.health_chart = health_chart_data(days, snap.forecast);
  if (list_sessions) {
    // The last ones may reach back before the 30 days: look further until enough are found.
    for (std::int64_t days_back : {90, 365, 0}) {
      if (sessions.size() >= kListedSessions) break;
      sessions = history::charge_sessions(
          reader.samples(days_back ? std::optional<std::int64_t>(now - days_back * kDay) : std::nullopt));
    }
    for (auto it = sessions.rbegin(); it != sessions.rend() && snap.last_sessions.size() < kListedSessions; ++it)
      snap.last_sessions.push_back(*it);
  }
  reader.end_read();
  if (!reader.status().ok()) return unavailable_snapshot(now, reader.status());
  return snap;
}

const HistorySnapshot& current_history(bool list_sessions) {
  auto& snapshot = cached();
  // A snapshot of another device's store (tests change the root) is no snapshot.
  static std::string root;
  if (snapshot && root != foundation::device_root()) snapshot.reset();
  root = foundation::device_root();
  if (!snapshot || (list_sessions && !snapshot->sessions_listed)) {
    bool scheduled = snapshot != nullptr;
    snapshot = std::make_unique<HistorySnapshot>(
        read_history(static_cast<std::int64_t>(foundation::device_now()), list_sessions));
    snapshot->sessions_listed = list_sessions;
    if (scheduled) return *snapshot;
    foundation::dispatch_after_ns(0, [] { cached().reset(); });
  }
  return *snapshot;
}

}  // namespace pxprefs
