#include "history/overview.h"

#include <algorithm>
#include <deque>

namespace px::history {

namespace {

// The level chart's samples, slice by slice (see kLevelChartSlices).
class LevelSlices {
 public:
  LevelSlices(std::int64_t now, std::vector<Sample>& out) : m_from(now - 86400), m_now(now), m_out(&out) {}
  void add(const Sample& s) {
    if (!s.level || s.time < m_from || s.time > m_now) return;
    std::int64_t slice = (s.time - m_from) * kLevelChartSlices / 86400;
    if (slice != m_slice) flush();
    m_slice = slice;
    if (!m_first) m_first = s;
    if (!m_low || *s.level < *m_low->level) m_low = s;
    if (!m_high || *s.level > *m_high->level) m_high = s;
    m_last = s;
  }
  void flush() {
    std::vector<Sample> kept;
    for (const auto* s : {&m_first, &m_low, &m_high, &m_last})
      if (*s) kept.push_back(**s);
    std::stable_sort(kept.begin(), kept.end(), [](const Sample& a, const Sample& b) { return a.time < b.time; });
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    m_out->insert(m_out->end(), kept.begin(), kept.end());
    m_first.reset();
    m_low.reset();
    m_high.reset();
    m_last.reset();
  }

 private:
  std::int64_t m_from, m_now, m_slice = -1;
  std::vector<Sample>* m_out;
  std::optional<Sample> m_first, m_low, m_high, m_last;
};

}  // namespace

HistoryOverview read_overview(HistoryReader& reader, std::int64_t now) {
  HistoryOverview o;
  if (!reader.is_open()) {
    o.status = reader.open();
    if (!o.status.ok()) return o;
  }
  o.status = reader.begin_read();
  if (!o.status.ok()) return o;

  // One walk over the store, with only the columns the figures need: every
  // figure below is built as the samples go by.
  struct Walk {
    DailyHealthBuilder health;
    SessionTracker sessions;
    FullChargeTracker fulls;
    std::deque<ChargeSession> listed;
  };
  Walk walk;
  LevelSlices level(now, o.last_24_hours);
  auto take_session = [&](const ChargeSession& c) {
    if (c.start >= now - kRecentSeconds) ++o.sessions_last_30_days;
    walk.listed.push_back(c);
    if (walk.listed.size() > kListedSessions) walk.listed.pop_front();
  };
  auto restart = [&] {
    walk = {};
    o.sessions_last_30_days = 0;
    o.last_full_charge.reset();
    o.last_24_hours.clear();
    level = LevelSlices(now, o.last_24_hours);
  };
  reader.each_overview_sample(
      [&](const Sample& s) {
        if (std::optional<HealthReading> r = health_reading(s)) walk.health.add(*r);
        if (std::optional<ChargeSession> done = walk.sessions.add(s)) take_session(*done);
        if (walk.fulls.add(s)) o.last_full_charge = s.time;
        level.add(s);
        return true;
      },
      restart);
  auto& sessions = walk.sessions;
  auto& listed = walk.listed;
  auto& health = walk.health;
  if (std::optional<ChargeSession> going = sessions.ongoing()) take_session(*going);
  level.flush();
  o.last_sessions.assign(listed.rbegin(), listed.rend());
  o.health_days = health.finish();
  o.last = reader.last_sample();
  if (o.last) o.health_now = o.last->health_percent();
  o.health_30_days_ago = health_at(o.health_days, now - 30 * 86400);
  o.health_365_days_ago = health_at(o.health_days, now - 365 * 86400);
  o.cycles_per_day = cycles_per_day(o.health_days, now, kPaceWindowSeconds);
  o.forecast = forecast_health(o.health_days);
  reader.end_read();
  if (!reader.status().ok()) o.status = reader.status();
  return o;
}

}  // namespace px::history
