// The time-left estimate on what can fool it: a glitched reading, a change of
// load, the charge's slow last part, and too little or nothing to go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "history/remaining_estimate.h"
#include "history/remaining_text.h"
#include "shared/cell_curve.h"

namespace {

using px::history::RemainingDirection;
using px::history::RemainingStatus;
using px::history::Sample;

constexpr std::int64_t kStart = 1'700'000'000;

Sample reading(std::int64_t t, double mah, double ma, bool charger) {
  Sample s;
  s.time = kStart + t;
  s.external = charger;
  s.charging = charger;
  s.full = false;
  s.raw_capacity = std::llround(mah);
  s.max_capacity = 1500;
  s.amperage = std::llround(ma);
  return s;
}

// Every 30 s for `minutes` at a steady `ma` (negative discharging), from `mah`.
void steady(std::vector<Sample>& out, double& mah, double ma, int minutes) {
  std::int64_t t0 = out.empty() ? 0 : out.back().time - kStart + 30;
  for (int k = 0; k < minutes * 2; ++k) {
    out.push_back(reading(t0 + 30 * k, mah, ma, ma > 0));
    mah += ma * 30 / 3600;
  }
}

TEST(RemainingEstimateTest, OneGlitchedReadingMovesNothingAndAChangeOfLoadIsFollowed) {
  std::vector<Sample> s;
  double mah = 1200;
  steady(s, mah, -600, 10);
  auto at = [&](const std::vector<Sample>& v) { return px::history::estimate_remaining(v, v.back().time); };
  px::history::RemainingEstimate clean = at(s);
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
    EXPECT_NEAR(at(g).seconds, clean.seconds, 1) << glitch;
    g.back().amperage = std::llround(glitch);  // the newest reading itself
    EXPECT_NEAR(at(g).seconds, clean.seconds, 0.02 * clean.seconds) << glitch;
  }

  // The load triples: two readings agreeing on it are enough.
  steady(s, mah, -1800, 1);
  px::history::RemainingEstimate changed = at(s);
  ASSERT_EQ(changed.status, RemainingStatus::ok);
  EXPECT_NEAR(*changed.current_ma, -1800, 10);
  EXPECT_NEAR(changed.seconds, mah / 1800 * 3600, 0.15 * mah / 1800 * 3600);
}

TEST(RemainingEstimateTest, TheTaperIsSlowerThanAStraightLine) {
  // Constant voltage from 1252 mAh: the current decays from 900 mA (τ = 0.3 h)
  // to its C/20 cut-off as the last τ·(900 − 75) mAh go in.
  constexpr double tau = 0.3, cutoff = 75;
  std::vector<Sample> s;
  double mah = 1500 - tau * (900 - cutoff), current = 900;
  for (int k = 0; k < 20; ++k) {
    s.push_back(reading(30 * k, mah, current, true));
    mah += current * 30 / 3600;
    current = 900 * std::exp(-(30.0 * (k + 1)) / 3600 / tau);
  }
  const Sample& last = s.back();
  double now_current = static_cast<double>(*last.amperage);
  double truth = tau * std::log(now_current / cutoff) * 3600;
  px::history::RemainingEstimate e = px::history::estimate_remaining(s, last.time);
  ASSERT_EQ(e.status, RemainingStatus::ok);
  EXPECT_EQ(e.direction, RemainingDirection::to_full);
  EXPECT_NEAR(e.seconds, truth, 0.10 * truth);
  EXPECT_LE(e.seconds_low, truth);
  EXPECT_GE(e.seconds_high, truth);
  // The straight line from the present current promises far too soon.
  double straight = (1500 - static_cast<double>(*last.raw_capacity)) / now_current * 3600;
  EXPECT_GT(e.seconds, 1.3 * straight);
}

TEST(RemainingEstimateTest, WithTheGaugesVoltageTheKneeAndTheTaperFollowTheCell) {
  // A charge as this phone's cell takes it: 800 mA until the terminal
  // (OCV + I·R) reaches 4.35 V, then what holds it there, to a C/20 cut-off.
  // A line through the taper's currents would over-promise (the current
  // falls faster near the top), and a 4.2 V cell's knee would be far early.
  constexpr double kMax = 1500, kOhms = 0.3, kCc = 800;
  auto current_at = [&](double mah) {
    return std::min(kCc,
                    (px::shared::kCellChargeVolts - px::shared::cell_open_circuit_volts(mah / kMax)) * 1000 / kOhms);
  };
  std::vector<Sample> s;
  std::vector<double> times;  // seconds from the start of each reading
  double mah = 0.5 * kMax, t = 0;
  while (current_at(mah) >= 0.05 * kMax) {
    if (t >= static_cast<double>(s.size()) * 30) {
      Sample r = reading(static_cast<std::int64_t>(t), mah, current_at(mah), true);
      r.voltage =
          std::llround(1000 * (px::shared::cell_open_circuit_volts(mah / kMax) + current_at(mah) / 1000 * kOhms));
      s.push_back(r);
      times.push_back(t);
    }
    mah += current_at(mah) * 0.1 / 3600;
    t += 0.1;
  }
  for (double share : {0.6, 0.93}) {  // constant current, then in the taper
    std::size_t i = 0;
    while (static_cast<double>(*s[i].raw_capacity) < share * kMax) ++i;
    std::vector<Sample> seen(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    px::history::RemainingEstimate e = px::history::estimate_remaining(seen, seen.back().time);
    double truth = t - times[i];
    ASSERT_EQ(e.status, RemainingStatus::ok) << share;
    EXPECT_NEAR(e.seconds, truth, 0.05 * truth) << share;
    EXPECT_LE(e.seconds_low, truth) << share;
    EXPECT_GE(e.seconds_high, truth) << share;
  }
}

TEST(RemainingEstimateTest, CalculatingUntilTwoReadingsAgreeAndNothingWhenNoneApplies) {
  std::vector<Sample> s{reading(0, 700, 800, true)};
  EXPECT_EQ(px::history::estimate_remaining(s, s.back().time).status, RemainingStatus::calculating);
  EXPECT_EQ(px::history::remaining_text(px::history::estimate_remaining(s, s.back().time)), "Calculating\u2026");
  s.push_back(reading(30, 707, 300, true));  // which of the two is the glitch?
  EXPECT_EQ(px::history::estimate_remaining(s, s.back().time).status, RemainingStatus::calculating);

  Sample full = reading(60, 1500, 0, true);
  full.full = true;
  s.push_back(full);
  EXPECT_EQ(px::history::estimate_remaining(s, s.back().time).status, RemainingStatus::not_applicable);
  EXPECT_EQ(px::history::estimate_remaining({}, kStart).status, RemainingStatus::not_applicable);
  // The last reading half a day ago says nothing about now.
  EXPECT_EQ(px::history::estimate_remaining(s, kStart + 43200).status, RemainingStatus::not_applicable);
}

TEST(RemainingEstimateTest, Wording) {
  px::history::RemainingEstimate e;
  e.status = RemainingStatus::ok;
  e.direction = RemainingDirection::to_empty;
  e.seconds = 3 * 3600 + 40 * 60, e.seconds_low = 3 * 3600 + 10 * 60, e.seconds_high = 4 * 3600 + 5 * 60;
  EXPECT_EQ(px::history::remaining_text(e), "3 h 40 min (3 h 10 \u2013 4 h 5)");
  EXPECT_EQ(px::history::remaining_row_text(e, RemainingDirection::to_full), "\u2014");
  EXPECT_EQ(px::history::remaining_clock_text(e), "3:40");
  e.seconds = 1500, e.seconds_low = 1200, e.seconds_high = 2400;
  EXPECT_EQ(px::history::remaining_text(e), "25 min (20 \u2013 40 min)");
}

}  // namespace
