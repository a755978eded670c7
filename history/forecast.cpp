#include "history/forecast.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

#include "history/robust_fit.h"
#include "history/thinning.h"
#include "platform/sim/utc_text.h"

namespace px::history {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Fits run on at most this many points (consecutive days merged), so a pane
// render costs the same after ten years as after one.
constexpr std::size_t kMaxFitPoints = 100;
// Exponents tried; a power law must beat the line by this much to be chosen,
// and exponents fitting within kNearlyAsWell of the chosen one widen the range.
constexpr double kLowestExponent = 0.3, kHighestExponent = 1.6, kExponentStep = 0.05;
constexpr double kPowerMustBeBetter = 0.9;
constexpr double kNearlyAsWell = 1.1;
// Beyond this many cycles no battery lasts: a projection further out says "no wear".
constexpr double kNoWearCycles = 20000;
// However well a curve fits the past, its continuation is a guess: the range
// is never narrower than this share of the cycles left per length of the
// observed history that the projection reaches beyond it.
constexpr double kExtrapolationFloor = 0.02;

struct Points {
  std::vector<double> cycles, health;
};

struct ModelFit {
  double exponent = 1;
  LineFit line;  // health against cycles^exponent
};

Points merge_to_at_most(const std::vector<const DayHealth*>& days, std::size_t limit) {
  Points p;
  std::size_t per_bin = (days.size() + limit - 1) / limit;
  for (std::size_t i = 0; i < days.size(); i += per_bin) {
    std::vector<double> c, h;
    for (std::size_t j = i; j < std::min(days.size(), i + per_bin); ++j) {
      c.push_back(*days[j]->cycles);
      h.push_back(days[j]->health);
    }
    p.cycles.push_back(median_of(c));
    p.health.push_back(median_of(h));
  }
  return p;
}

// The search over exponents compares fits by their residuals alone; the
// slope's interval is worked out only for the fits the range is made of.
ModelFit fit_power(const Points& p, double exponent, bool with_interval = false) {
  std::vector<double> x(p.cycles.size());
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::pow(p.cycles[i], exponent);
  return ModelFit{exponent, theil_sen(x, p.health, with_interval)};
}

double intercept_for(const Points& p, double exponent, double slope) {
  std::vector<double> offsets(p.cycles.size());
  for (std::size_t i = 0; i < offsets.size(); ++i) offsets[i] = p.health[i] - slope * std::pow(p.cycles[i], exponent);
  return median_of(offsets);
}

// The cycle count at which a + b·c^exponent reaches 80 %.
double cycles_at_end_of_life(double a, double b, double exponent) {
  if (b >= 0) return kInfinity;
  double v = (kEndOfLifeHealth - a) / b;
  if (v <= 0) return 0;
  return std::pow(v, 1.0 / exponent);
}

double health_at_cycles(const ModelFit& m, double cycles) {
  return m.line.intercept + m.line.slope * std::pow(cycles, m.exponent);
}

// The best exponent: a grid, then a golden-section search around its best point.
ModelFit best_power(const Points& p, std::vector<ModelFit>& tried) {
  for (double e = kLowestExponent; e <= kHighestExponent + 1e-9; e += kExponentStep) tried.push_back(fit_power(p, e));
  auto better = [](const ModelFit& a, const ModelFit& b) {
    return a.line.valid && (!b.line.valid || a.line.mean_abs_residual < b.line.mean_abs_residual);
  };
  ModelFit best = tried.front();
  for (const ModelFit& m : tried)
    if (better(m, best)) best = m;
  const double golden = (std::sqrt(5.0) - 1) / 2;
  double lo = std::max(0.05, best.exponent - kExponentStep), hi = best.exponent + kExponentStep;
  for (int i = 0; i < 12; ++i) {
    double m1 = hi - golden * (hi - lo), m2 = lo + golden * (hi - lo);
    ModelFit f1 = fit_power(p, m1), f2 = fit_power(p, m2);
    if (better(f1, best)) best = f1;
    if (better(f2, best)) best = f2;
    if (better(f1, f2))
      hi = m2;
    else
      lo = m1;
  }
  return best;
}

// The end-of-life cycle count refitted without each of kBlocks consecutive
// stretches of the history: how far it moves is how far the data pin it down,
// including what the slope's interval cannot see (slow drifts, a bend).
constexpr int kBlocks = 5;
std::vector<double> leave_block_out(const Points& p, const ModelFit& chosen, bool power) {
  std::vector<double> out;
  const std::size_t n = p.cycles.size();
  for (int b = 0; b < kBlocks; ++b) {
    std::size_t from = n * b / kBlocks, to = n * (b + 1) / kBlocks;
    Points kept;
    for (std::size_t i = 0; i < n; ++i) {
      if (i >= from && i < to) continue;
      kept.cycles.push_back(p.cycles[i]);
      kept.health.push_back(p.health[i]);
    }
    ModelFit best = fit_power(kept, chosen.exponent);
    if (power) {
      for (double e = chosen.exponent - 0.3; e <= chosen.exponent + 0.3 + 1e-9; e += kExponentStep) {
        if (e < kLowestExponent - 1e-9) continue;
        ModelFit m = fit_power(kept, e);
        if (m.line.valid && (!best.line.valid || m.line.mean_abs_residual < best.line.mean_abs_residual)) best = m;
      }
    }
    if (best.line.valid) out.push_back(cycles_at_end_of_life(best.line.intercept, best.line.slope, best.exponent));
  }
  return out;
}

}  // namespace

const char* forecast_status_name(ForecastStatus status) {
  switch (status) {
    case ForecastStatus::ok:
      return "ok";
    case ForecastStatus::not_enough_history:
      return "not_enough_history";
    case ForecastStatus::not_cycled:
      return "not_cycled";
    case ForecastStatus::no_wear:
      return "no_wear";
    case ForecastStatus::already_below_80:
      return "already_below_80";
    case ForecastStatus::no_capacity_data:
      return "no_capacity_data";
  }
  return "no_capacity_data";
}

std::string utc_date(std::int64_t time) { return platform::sim::utc_text(time, "%Y-%m-%d"); }

Forecast forecast_health(const std::vector<DayHealth>& days) {
  Forecast f;
  if (days.empty()) return f;
  const DayHealth& last = days.back();
  f.health_percent = last.health;
  f.cycles = last.cycles;
  f.cycles_per_day = cycles_per_day(days, last.last_time, kPaceWindowSeconds);
  if (last.health < kEndOfLifeHealth) {
    f.status = ForecastStatus::already_below_80;
    return f;
  }

  std::vector<const DayHealth*> recent;
  for (const DayHealth& d : days)
    if (d.cycles && *d.cycles >= 0 && d.last_time >= last.last_time - kFitWindowSeconds) recent.push_back(&d);
  double span_days =
      recent.empty() ? 0 : static_cast<double>(recent.back()->last_time - recent.front()->last_time) / kDaySeconds;
  double cycle_span = recent.empty() ? 0 : *recent.back()->cycles - *recent.front()->cycles;
  double all_days = static_cast<double>(last.last_time - days.front().last_time) / kDaySeconds;
  if (all_days >= kMinimumHistoryDays && cycle_span < kMinimumHistoryCycles &&
      !(f.cycles_per_day && *f.cycles_per_day > 0)) {
    f.status = ForecastStatus::not_cycled;
    return f;
  }
  if (span_days < kMinimumHistoryDays || cycle_span < kMinimumHistoryCycles) {
    f.status = ForecastStatus::not_enough_history;
    double more = std::max(0.0, kMinimumHistoryDays - span_days);
    if (cycle_span < kMinimumHistoryCycles && f.cycles_per_day && *f.cycles_per_day > 0)
      more = std::max(more, (kMinimumHistoryCycles - cycle_span) / *f.cycles_per_day);
    f.days_needed = std::max(1, static_cast<int>(std::ceil(more)));
    return f;
  }
  if (f.cycles) f.cycles = *recent.back()->cycles;
  const double now_cycles = *recent.back()->cycles;

  Points points = merge_to_at_most(recent, kMaxFitPoints);
  ModelFit line = fit_power(points, 1.0, true);
  if (!line.line.valid || line.line.slope_high >= 0) {
    // Not falling, or not distinguishably from flat.
    f.status = ForecastStatus::no_wear;
    return f;
  }
  std::vector<ModelFit> tried;
  ModelFit power = best_power(points, tried);
  bool use_power = power.line.valid && power.line.mean_abs_residual < kPowerMustBeBetter * line.line.mean_abs_residual;
  if (use_power) power = fit_power(points, power.exponent, true);
  const ModelFit& chosen = use_power ? power : line;
  f.model = use_power ? "power" : "line";
  if (use_power) f.exponent = power.exponent;

  double center = cycles_at_end_of_life(chosen.line.intercept, chosen.line.slope, chosen.exponent);
  if (center - now_cycles > kNoWearCycles) {
    f.status = ForecastStatus::no_wear;
    return f;
  }
  // The range: the slope's interval for every exponent that fits nearly as well.
  double low = center, high = center;
  tried.push_back(chosen);
  for (ModelFit m : tried) {
    if (!m.line.valid || m.line.mean_abs_residual > kNearlyAsWell * chosen.line.mean_abs_residual) continue;
    if (m.line.slope_low == m.line.slope_high) m = fit_power(points, m.exponent, true);
    for (double slope : {m.line.slope_low, m.line.slope, m.line.slope_high}) {
      double at = cycles_at_end_of_life(intercept_for(points, m.exponent, slope), slope, m.exponent);
      low = std::min(low, at);
      high = std::max(high, at);
    }
  }
  std::vector<double> refits = leave_block_out(points, chosen, use_power);
  if (!refits.empty()) {
    double spread = 0;
    for (double r : refits) {
      low = std::min(low, r);
      high = std::max(high, r);
      spread += (r - center) * (r - center);
    }
    // The jackknife's standard error, twice: about a 95 % interval.
    double se = std::sqrt(spread * (kBlocks - 1) / kBlocks);
    if (std::isfinite(se)) {
      low = std::min(low, center - 2 * se);
      high = std::max(high, center + 2 * se);
    }
  }
  if (std::isfinite(center) && center > now_cycles && cycle_span > 0) {
    double left = center - now_cycles;
    double floor = kExtrapolationFloor * left * std::max(1.0, left / cycle_span);
    low = std::min(low, center - floor);
    high = std::max(high, center + floor);
  }
  f.status = ForecastStatus::ok;
  f.cycles_to_80 = std::max(0.0, center - now_cycles);
  f.cycles_to_80_low = std::max(0.0, low - now_cycles);
  if (std::isfinite(high) && high - now_cycles <= kNoWearCycles) f.cycles_to_80_high = std::max(0.0, high - now_cycles);

  if (f.cycles_per_day && *f.cycles_per_day > 0) {
    double days_left = *f.cycles_to_80 / *f.cycles_per_day;
    f.time_80 = recent.back()->last_time + static_cast<std::int64_t>(days_left * kDaySeconds);
    const int steps = 24;
    for (int i = 0; i <= steps; ++i) {
      double c = now_cycles + *f.cycles_to_80 * i / steps;
      ForecastPoint pt;
      pt.cycles = c;
      pt.health = i == steps ? kEndOfLifeHealth : health_at_cycles(chosen, c);
      pt.time =
          recent.back()->last_time + static_cast<std::int64_t>((c - now_cycles) / *f.cycles_per_day * kDaySeconds);
      f.projection.push_back(pt);
    }
  }
  return f;
}

}  // namespace px::history
