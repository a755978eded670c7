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

  o.last = reader.last_sample();
  if (o.last) o.health_now = o.last->health_percent();
  o.health_days = daily_health(reader.health_readings());
  o.health_30_days_ago = health_at(o.health_days, now - 30 * 86400);
  o.health_365_days_ago = health_at(o.health_days, now - 365 * 86400);
  if (std::optional<double> pace = cycles_per_day(o.health_days, now, kPaceWindowSeconds))
    o.cycles_per_week = *pace * 7;
  o.forecast = forecast_health(o.health_days);

  // Sessions: the last 30 days first; further back only when fewer than the list holds.
  std::vector<Sample> recent = reader.samples(now - kRecentSeconds, std::nullopt);
  std::optional<std::vector<Sample>> all;
  auto everything = [&]() -> const std::vector<Sample>& {
    if (!all) all = reader.samples();
    return *all;
  };
  std::vector<ChargeSession> sessions = charge_sessions(recent);
  o.sessions_last_30_days = sessions.size();
  if (sessions.size() < kListedSessions) sessions = charge_sessions(everything());
  std::vector<std::int64_t> fulls = full_charges(recent);
  if (fulls.empty()) fulls = full_charges(everything());
  if (!fulls.empty()) o.last_full_charge = fulls.back();
  std::size_t from = sessions.size() > kListedSessions ? sessions.size() - kListedSessions : 0;
  o.last_sessions.assign(sessions.rbegin(), sessions.rend() - static_cast<std::ptrdiff_t>(from));

  for (const Sample& s : recent)
    if (s.time >= now - 86400 && s.time <= now) o.last_24_hours.push_back(s);
  reader.end_read();
  if (!reader.status().ok()) o.status = reader.status();
  return o;
}

}  // namespace history
