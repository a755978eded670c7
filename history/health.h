#pragma once
// Health over time: per-day medians of health and cycle count, the health at
// a past time, and the recent pace of cycles. Per-day medians make one noisy
// or glitched sample count for nothing, and keep the forecast's cost bounded
// by the number of days, not of samples.

#include <cstdint>
#include <optional>
#include <vector>

#include "history/sample.h"

namespace px::history {

// One sample's health and cycle count, as the store's health query returns them.
struct HealthReading {
  std::int64_t time = 0;
  double health = 0;  // percent of design capacity
  std::optional<double> cycles;
};

struct DayHealth {
  std::int64_t day = 0;          // start of the UTC day, Unix seconds
  std::int64_t last_time = 0;    // the day's last reading
  double health = 0;             // median health that day
  std::optional<double> cycles;  // median cycle count that day
  int readings = 0;
};

// A sample's health reading, when it has one.
std::optional<HealthReading> health_reading(const Sample& sample);
std::vector<HealthReading> health_readings(const std::vector<Sample>& samples);

// Per-day medians built one reading at a time (in time order). A day keeps at
// most kMaxDayReadings values: past that, every other one is dropped and
// only every second (fourth, …) reading after it kept, so a crafted day of
// millions costs a bounded buffer and its median stays that of an even spread.
inline constexpr std::size_t kMaxDayReadings = 1 << 16;
class DailyHealthBuilder {
 public:
  void add(const HealthReading& reading);
  std::vector<DayHealth> finish();

 private:
  void flush();
  std::vector<DayHealth> m_days;
  std::vector<double> m_health, m_cycles;
  std::int64_t m_day = 0, m_last_time = 0;
  int m_readings = 0;
  std::int64_t m_stride = 1;
};

// Per-day medians of readings sorted by time.
std::vector<DayHealth> daily_health(const std::vector<HealthReading>& readings);

// The health on the day of `time`, or on the last day with readings before it
// within kHealthLookbackDays; none when the history does not reach back to
// `time` (the pane's "Not yet available").
inline constexpr int kHealthLookbackDays = 7;
std::optional<double> health_at(const std::vector<DayHealth>& days, std::int64_t time);

// Cycles per day over the `window` seconds before `now`, from the first and
// last day in it that know their cycle count; none with less than a day
// between them.
std::optional<double> cycles_per_day(const std::vector<DayHealth>& days, std::int64_t now, std::int64_t window);
inline constexpr std::int64_t kPaceWindowSeconds = 30 * 86400;

// The median of `values` (reordered); NaN for none.
double median_of(std::vector<double>& values);

}  // namespace px::history
