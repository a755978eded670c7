#pragma once
// When will the battery's health reach 80 %? Health (MaxCapacity ÷
// DesignCapacity) is fitted against the cycle count on per-day medians of the
// recent history, by two robust fits chosen by how well each follows the data:
// a straight Theil–Sen line, and a power law in cycles (health = a + b·cᵖ,
// loss growing as a power of the cycles since new, fitted with Theil–Sen on
// cᵖ for the best p). The range combines the slope's rank-based confidence
// interval with every exponent that fits nearly as well; the date comes from
// the recent pace of cycles. docs/history.md shows how it does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/health.h"

namespace px::history {

// not_cycled: history long enough, but the cycle count has not moved in it
// (no pace to wait on: "more days" would never come).
enum class ForecastStatus { ok, not_enough_history, not_cycled, no_wear, already_below_80, no_capacity_data };
const char* forecast_status_name(ForecastStatus status);  // "ok", "not_enough_history", …

inline constexpr double kEndOfLifeHealth = 80.0;
inline constexpr int kMinimumHistoryDays = 14;
inline constexpr double kMinimumHistoryCycles = 10.0;
// The window the fit looks at.
inline constexpr std::int64_t kFitWindowSeconds = 365 * 86400;

struct ForecastPoint {
  std::int64_t time = 0;
  double cycles = 0;
  double health = 0;
};

struct Forecast {
  ForecastStatus status = ForecastStatus::no_capacity_data;
  std::optional<double> health_percent;  // the last day's median health
  std::optional<double> cycles;          // the last day's median cycle count
  std::optional<double> cycles_to_80;    // from the last day until health reaches 80 %
  std::optional<double> cycles_to_80_low;
  std::optional<double> cycles_to_80_high;  // none when the data cannot rule out no wear at all
  std::optional<double> cycles_per_day;     // the recent pace
  std::optional<std::int64_t> time_80;      // when, at that pace (Unix seconds)
  std::optional<int> days_needed;           // not_enough_history: about how many more days
  std::string model;                        // "power" or "line"
  std::optional<double> exponent;           // p of the power law
  // The fitted curve continued from the last day to 80 % (empty without a pace).
  std::vector<ForecastPoint> projection;
};

// `days` oldest first, as daily_health makes them.
Forecast forecast_health(const std::vector<DayHealth>& days);

// "YYYY-MM-DD" of a Unix time, in UTC.
std::string utc_date(std::int64_t time);

}  // namespace px::history
