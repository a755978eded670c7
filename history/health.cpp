#include "history/health.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "history/thinning.h"

namespace history {

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

std::vector<HealthReading> health_readings(const std::vector<Sample>& samples) {
  std::vector<HealthReading> out;
  out.reserve(samples.size());
  for (const Sample& s : samples) {
    std::optional<double> h = s.health_percent();
    if (!h) continue;
    HealthReading r;
    r.time = s.time;
    r.health = *h;
    if (s.cycles && *s.cycles >= 0) r.cycles = static_cast<double>(*s.cycles);
    out.push_back(r);
  }
  return out;
}

std::vector<DayHealth> daily_health(const std::vector<HealthReading>& readings) {
  std::vector<DayHealth> days;
  std::vector<double> health, cycles;
  auto flush = [&](std::int64_t day, std::int64_t last_time) {
    if (health.empty()) return;
    DayHealth d;
    d.day = day;
    d.last_time = last_time;
    d.readings = static_cast<int>(health.size());
    d.health = median_of(health);
    if (!cycles.empty()) d.cycles = median_of(cycles);
    days.push_back(d);
    health.clear();
    cycles.clear();
  };
  std::int64_t current = 0, last_time = 0;
  for (const HealthReading& r : readings) {
    if (!std::isfinite(r.health)) continue;
    // A store is untrusted input: a time no clock gives (beyond ±2^40 s)
    // would overflow the day's arithmetic.
    if (r.time < -(std::int64_t{1} << 40) || r.time > (std::int64_t{1} << 40)) continue;
    std::int64_t day = r.time - ((r.time % kDaySeconds) + kDaySeconds) % kDaySeconds;
    if (!health.empty() && day != current) flush(current, last_time);
    current = day;
    last_time = r.time;
    health.push_back(r.health);
    if (r.cycles && std::isfinite(*r.cycles)) cycles.push_back(*r.cycles);
  }
  flush(current, last_time);
  return days;
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

}  // namespace history
