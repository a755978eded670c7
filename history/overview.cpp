#include "history/overview.h"

#include <algorithm>

namespace history {

HistoryOverview read_overview(HistoryReader& reader, std::int64_t now) {
  HistoryOverview o;
  if (!reader.is_open()) {
    o.status = reader.open();
    if (!o.status.ok()) return o;
  }
  o.status = reader.begin_read();
  if (!o.status.ok()) return o;

  // One pass over the store: every figure below is derived from the same
  // samples in memory, read with only the columns the figures need (reading
  // them once costs less than several narrower queries that would overlap).
  std::vector<Sample> samples = reader.overview_samples();
  o.last = reader.last_sample();
  if (o.last) o.health_now = o.last->health_percent();
  o.health_days = daily_health(health_readings(samples));
  o.health_30_days_ago = health_at(o.health_days, now - 30 * 86400);
  o.health_365_days_ago = health_at(o.health_days, now - 365 * 86400);
  o.cycles_per_day = cycles_per_day(o.health_days, now, kPaceWindowSeconds);
  o.forecast = forecast_health(o.health_days);

  std::vector<ChargeSession> sessions = charge_sessions(samples);
  o.sessions_last_30_days = static_cast<std::size_t>(std::count_if(
      sessions.begin(), sessions.end(), [&](const ChargeSession& c) { return c.start >= now - kRecentSeconds; }));
  std::size_t from = sessions.size() > kListedSessions ? sessions.size() - kListedSessions : 0;
  o.last_sessions.assign(sessions.rbegin(), sessions.rend() - static_cast<std::ptrdiff_t>(from));
  std::vector<std::int64_t> fulls = full_charges(samples);
  if (!fulls.empty()) o.last_full_charge = fulls.back();

  auto day_ago = std::lower_bound(samples.begin(), samples.end(), now - 86400,
                                  [](const Sample& s, std::int64_t time) { return s.time < time; });
  for (auto it = day_ago; it != samples.end() && it->time <= now; ++it) o.last_24_hours.push_back(*it);
  reader.end_read();
  if (!reader.status().ok()) o.status = reader.status();
  return o;
}

}  // namespace history
