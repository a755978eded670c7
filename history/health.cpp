#include "history/health.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "history/thinning.h"

namespace px::history {

double median_of(std::vector<double>& v) {
  if (v.empty()) return std::numeric_limits<double>::quiet_NaN();
  std::size_t mid = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
  double m = v[mid];
  if (v.size() % 2 == 0) {
    double below = *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid));
    m = (m + below) / 2;
  }
  return m;
}

std::optional<HealthReading> health_reading(const Sample& s) {
  std::optional<double> h = s.health_percent();
  if (!h) return std::nullopt;
  HealthReading r;
  r.time = s.time;
  r.health = *h;
  if (s.cycles && *s.cycles >= 0) r.cycles = static_cast<double>(*s.cycles);
  return r;
}

std::vector<HealthReading> health_readings(const std::vector<Sample>& samples) {
  std::vector<HealthReading> out;
  out.reserve(samples.size());
  for (const Sample& s : samples)
    if (std::optional<HealthReading> r = health_reading(s)) out.push_back(*r);
  return out;
}

void DailyHealthBuilder::flush() {
  if (m_health.empty()) return;
  DayHealth d;
  d.day = m_day;
  d.last_time = m_last_time;
  d.readings = m_readings;
  d.health = median_of(m_health);
  if (!m_cycles.empty()) d.cycles = median_of(m_cycles);
  m_days.push_back(d);
  m_health.clear();
  m_cycles.clear();
  m_readings = 0;
  m_stride = 1;
}

void DailyHealthBuilder::add(const HealthReading& r) {
  if (!std::isfinite(r.health)) return;
  // A store is untrusted input: a time no clock gives (beyond ±2^40 s)
  // would overflow the day's arithmetic.
  if (r.time < -(std::int64_t{1} << 40) || r.time > (std::int64_t{1} << 40)) return;
  std::int64_t day = r.time - ((r.time % kDaySeconds) + kDaySeconds) % kDaySeconds;
  if (!m_health.empty() && day != m_day) flush();
  m_day = day;
  m_last_time = r.time;
  if (m_readings++ % m_stride != 0) return;
  m_health.push_back(r.health);
  if (r.cycles && std::isfinite(*r.cycles)) m_cycles.push_back(*r.cycles);
  if (m_health.size() >= kMaxDayReadings) {
    auto halve = [](std::vector<double>& v) {
      for (std::size_t i = 0; 2 * i < v.size(); ++i) v[i] = v[2 * i];
      v.resize((v.size() + 1) / 2);
    };
    halve(m_health);
    halve(m_cycles);
    m_stride *= 2;
  }
}

std::vector<DayHealth> DailyHealthBuilder::finish() {
  flush();
  return std::move(m_days);
}

std::vector<DayHealth> daily_health(const std::vector<HealthReading>& readings) {
  DailyHealthBuilder builder;
  for (const HealthReading& r : readings) builder.add(r);
  return builder.finish();
}

std::optional<double> health_at(const std::vector<DayHealth>& days, std::int64_t time) {
  if (days.empty() || days.front().day > time) return std::nullopt;
  // The last day starting at or before `time`.
  auto it =
      std::upper_bound(days.begin(), days.end(), time, [](std::int64_t t, const DayHealth& d) { return t < d.day; });
  if (it == days.begin()) return std::nullopt;
  --it;
  if (time - it->day > static_cast<std::int64_t>(kHealthLookbackDays) * kDaySeconds) return std::nullopt;
  return it->health;
}

std::optional<double> cycles_per_day(const std::vector<DayHealth>& days, std::int64_t now, std::int64_t window) {
  const DayHealth* first = nullptr;
  const DayHealth* last = nullptr;
  for (const DayHealth& d : days) {
    if (!d.cycles || d.last_time < now - window || d.day > now) continue;
    if (!first) first = &d;
    last = &d;
  }
  if (!first || last->last_time - first->last_time < kDaySeconds) return std::nullopt;
  double span_days = static_cast<double>(last->last_time - first->last_time) / kDaySeconds;
  return std::max(0.0, (*last->cycles - *first->cycles) / span_days);
}

}  // namespace px::history
