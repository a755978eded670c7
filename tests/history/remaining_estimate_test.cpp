// The time-left estimate on what can fool it: a glitched reading, a change of
// load, the charge's slow last part, and too little or nothing to go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "history/remaining_estimate.h"
#include "history/remaining_text.h"
#include "shared/cell_curve.h"

namespace {

using namespace px::history;
using px::shared::cell_open_circuit_volts;

constexpr std::int64_t kStart = 1'700'000'000;

Sample reading(std::int64_t t, double mah, double ma, bool charger) {
  Sample s;
  s.time = kStart + t;
  s.external = s.charging = charger;
  s.full = false;
  s.raw_capacity = std::llround(mah);
  s.max_capacity = 1500;
  s.amperage = std::llround(ma);
  return s;
}

RemainingEstimate latest(const std::vector<Sample>& s) { return estimate_remaining(s, s.back().time); }

// The estimate is within `share` of `truth`, and its range holds it.
void expect_near(const RemainingEstimate& e, double truth, double share) {
  ASSERT_EQ(e.status, RemainingStatus::ok);
  EXPECT_NEAR(e.seconds, truth, share * truth);
  EXPECT_LE(e.seconds_low, truth);
  EXPECT_GE(e.seconds_high, truth);
}

TEST(RemainingEstimateTest, OneGlitchedReadingMovesNothingAndAChangeOfLoadIsFollowed) {
  std::vector<Sample> s;
  double mah = 1200;
  // Every 30 s at a steady `ma` (negative discharging) for `minutes`.
  auto steady = [&](double ma, int minutes) {
    std::int64_t t0 = s.empty() ? 0 : s.back().time - kStart + 30;
    for (int k = 0; k < minutes * 2; ++k, mah += ma * 30 / 3600) s.push_back(reading(t0 + 30 * k, mah, ma, ma > 0));
  };
  steady(-600, 10);
  RemainingEstimate clean = latest(s);
  ASSERT_EQ(clean.status, RemainingStatus::ok);
  EXPECT_EQ(clean.direction, RemainingDirection::to_empty);
  EXPECT_NEAR(*clean.current_ma, -600, 1);
  // 1100 mAh at 600 mA is 1 h 50 at constant current; constant power ends sooner.
  EXPECT_LT(clean.seconds, 1100.0 / 600 * 3600);
  EXPECT_GT(clean.seconds, 0.85 * 1100.0 / 600 * 3600);
  EXPECT_LE(clean.seconds_low, clean.seconds);
  EXPECT_GE(clean.seconds_high, 1100.0 / 600 * 3600);

  for (double glitch : {0.0, -2400.0, 300.0}) {
    std::vector<Sample> g = s;
    g[12].amperage = std::llround(glitch);
    EXPECT_NEAR(latest(g).seconds, clean.seconds, 1) << glitch;
    g.back().amperage = std::llround(glitch);  // the newest reading itself
    EXPECT_NEAR(latest(g).seconds, clean.seconds, 0.02 * clean.seconds) << glitch;
  }

  steady(-1800, 1);  // the load triples: two readings agreeing on it are enough
  RemainingEstimate changed = latest(s);
  expect_near(changed, mah / 1800 * 3600, 0.15);
  EXPECT_NEAR(changed.current_ma.value_or(0), -1800, 10);
}

TEST(RemainingEstimateTest, TheTaperIsSlowerThanAStraightLineWithOrWithoutTheGaugesVoltage) {
  {
    SCOPED_TRACE("no voltage: constant voltage from 1252 mAh, the current decaying from 900 mA to C/20");
    constexpr double tau = 0.3, cutoff = 75;
    std::vector<Sample> s;
    double mah = 1500 - tau * (900 - cutoff), current = 900;
    for (int k = 0; k < 20; ++k, current = 900 * std::exp(-(30.0 * k) / 3600 / tau)) {
      s.push_back(reading(30 * k, mah, current, true));
      mah += current * 30 / 3600;
    }
    double now_current = static_cast<double>(*s.back().amperage);
    RemainingEstimate e = latest(s);
    EXPECT_EQ(e.direction, RemainingDirection::to_full);
    expect_near(e, tau * std::log(now_current / cutoff) * 3600, 0.10);
    // The straight line from the present current promises far too soon.
    EXPECT_GT(e.seconds, 1.3 * (1500 - static_cast<double>(*s.back().raw_capacity)) / now_current * 3600);
  }
  // A charge as this phone's cell takes it: 800 mA until the terminal (OCV + I·R)
  // reaches 4.35 V, then what holds it there, to C/20. A line through the taper's
  // currents would over-promise, and a 4.2 V cell's knee would be far early.
  constexpr double kMax = 1500, kOhms = 0.3, kCc = 800;
  auto current_at = [&](double mah) {
    return std::min(kCc, (px::shared::kCellChargeVolts - cell_open_circuit_volts(mah / kMax)) * 1000 / kOhms);
  };
  std::vector<Sample> s;
  double mah = 0.5 * kMax, t = 0;
  for (; current_at(mah) >= 0.05 * kMax; mah += current_at(mah) * 0.1 / 3600, t += 0.1) {
    if (t < static_cast<double>(s.size()) * 30) continue;
    s.push_back(reading(static_cast<std::int64_t>(t), mah, current_at(mah), true));
    s.back().voltage = std::llround(1000 * (cell_open_circuit_volts(mah / kMax) + current_at(mah) / 1000 * kOhms));
  }
  for (double share : {0.6, 0.93}) {  // constant current, then in the taper
    SCOPED_TRACE(share);
    std::size_t i = 0;
    while (static_cast<double>(*s[i].raw_capacity) < share * kMax) ++i;
    expect_near(latest({s.begin(), s.begin() + static_cast<std::ptrdiff_t>(i) + 1}),
                t - static_cast<double>(s[i].time - kStart), 0.05);
  }
}

TEST(RemainingEstimateTest, CalculatingUntilTwoReadingsAgreeAndNothingWhenNoneApplies) {
  std::vector<Sample> s{reading(0, 700, 800, true)};
  EXPECT_EQ(latest(s).status, RemainingStatus::calculating);
  EXPECT_EQ(remaining_text(latest(s)), "Calculating\u2026");
  s.push_back(reading(30, 707, 300, true));  // which of the two is the glitch?
  EXPECT_EQ(latest(s).status, RemainingStatus::calculating);

  s.push_back(reading(60, 1500, 0, true));
  s.back().full = true;
  EXPECT_EQ(latest(s).status, RemainingStatus::not_applicable);
  EXPECT_EQ(estimate_remaining({}, kStart).status, RemainingStatus::not_applicable);
  // The last reading half a day ago says nothing about now.
  EXPECT_EQ(estimate_remaining(s, kStart + 43200).status, RemainingStatus::not_applicable);
}

TEST(RemainingEstimateTest, Wording) {
  RemainingEstimate e;
  e.status = RemainingStatus::ok;
  e.direction = RemainingDirection::to_empty;
  e.seconds = 3 * 3600 + 40 * 60, e.seconds_low = 3 * 3600 + 10 * 60, e.seconds_high = 4 * 3600 + 5 * 60;
  EXPECT_EQ(remaining_text(e), "3 h 40 min (3 h 10 \u2013 4 h 5)");
  EXPECT_EQ(remaining_row_text(e, RemainingDirection::to_full), "\u2014");
  EXPECT_EQ(remaining_clock_text(e), "3:40");
  e.seconds = 1500, e.seconds_low = 1200, e.seconds_high = 2400;
  EXPECT_EQ(remaining_text(e), "25 min (20 \u2013 40 min)");
}

}  // namespace
