// The forecast against a battery whose wear is known: statuses from an aging
// model go through sampling and the store as the tweak writes them (times from
// the model's clock, never the machine's), and the forecast read back must
// find the model's own cycles-to-80 %.
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include "history/forecast.h"
#include "history/store.h"
#include "tests/history/history_fixture.h"

namespace {
using namespace px::history;
using px::history::Forecast;
using px::history::ForecastStatus;
using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;

constexpr double kDesign = 1560;

// Health lost (percent points) after c cycles, with the model's noise drawn per cycle.
struct AgingModel {
  std::function<double(double)> mean_loss;  // without noise: the truth
  double noise = 0.25;                      // relative noise of each cycle's wear
  double gauge_noise = 0.3;                 // sd of each reading, percent points
  std::uint32_t seed = 7;
  double cycles_per_day = 1.5;
  int samples_per_day = 24;  // a broadcast an hour: what thinning leaves of older months
  double start_cycles = 0;
  // Extra offset (percent points) on the reading at time t: a recalibration glitch.
  std::function<double(std::int64_t)> glitch = [](std::int64_t) { return 0.0; };

  double truth_cycles_to_80(double from_cycles) const {
    double lo = from_cycles, hi = 1e6;
    for (int i = 0; i < 200; ++i) {
      double mid = (lo + hi) / 2;
      (mean_loss(mid) < 20 ? lo : hi) = mid;
    }
    return lo - from_cycles;
  }
};

class ForecastAccuracy : public HistoryTest {
 protected:
  // Runs the model for `days`, recording every broadcast; returns the forecast.
  Forecast run(const AgingModel& model, int days) {
    std::mt19937 rng(model.seed);
    std::normal_distribution<double> unit(0, 1);
    px::history::HistoryWriter writer;
    double cycles = model.start_cycles, noisy_loss = model.mean_loss(model.start_cycles);
    const std::int64_t step = 86400 / model.samples_per_day;
    for (std::int64_t t = kEpoch; t < kEpoch + days * 86400LL; t += step) {
      double dc = model.cycles_per_day * step / 86400.0;
      double mean_step = model.mean_loss(cycles + dc) - model.mean_loss(cycles);
      noisy_loss += mean_step * (1 + model.noise * unit(rng));
      cycles += dc;
      double health = 100 - noisy_loss + model.glitch(t) + model.gauge_noise * unit(rng);
      int level = static_cast<int>(50 + 40 * std::sin(t / 20000.0));
      Value status(Dictionary{{"UpdateTime", t},
                              {"MaxCapacity", static_cast<long long>(std::llround(kDesign * health / 100))},
                              {"DesignCapacity", static_cast<long long>(kDesign)},
                              {"CycleCount", static_cast<long long>(cycles)},
                              {"AppleRawCurrentCapacity", static_cast<long long>(kDesign * level / 100)},
                              {"Temperature", 3000 + level}});
      writer.record(px::history::sample_from_status(status, level, 0), t);
    }
    m_last_cycles = cycles;
    px::history::HistoryReader reader;
    EXPECT_TRUE(reader.open().ok());
    return px::history::forecast_health(
        px::history::daily_health(px::history::health_readings(reader.overview_samples())));
  }

  void expect_accurate(const char* name, const AgingModel& model, const Forecast& f, double tolerance) {
    ASSERT_EQ(f.status, ForecastStatus::ok) << name;
    ASSERT_TRUE(f.cycles_to_80 && f.cycles_to_80_low && f.cycles_to_80_high) << name;
    double truth = model.truth_cycles_to_80(std::floor(m_last_cycles));
    std::printf("%s: truth %.0f cycles, forecast %.0f (%.0f-%.0f), %s model%s, error %+.1f %%\n", name, truth,
                *f.cycles_to_80, *f.cycles_to_80_low, *f.cycles_to_80_high, f.model.c_str(),
                f.exponent ? (" p=" + std::to_string(*f.exponent).substr(0, 4)).c_str() : "",
                100 * (*f.cycles_to_80 - truth) / truth);
    EXPECT_NEAR(*f.cycles_to_80, truth, tolerance * truth) << name;
    EXPECT_LE(*f.cycles_to_80_low, truth) << name << ": the truth lies inside the range";
    EXPECT_GE(*f.cycles_to_80_high, truth) << name << ": the truth lies inside the range";
    ASSERT_TRUE(f.time_80);
    double days_left = truth / model.cycles_per_day;
    EXPECT_NEAR(static_cast<double>(*f.time_80 - kEpoch) / 86400, 200 + days_left, tolerance * days_left + 2) << name;
  }

  double m_last_cycles = 0;
};

AgingModel linear() {
  AgingModel m;
  m.mean_loss = [](double c) { return 0.02 * c; };
  return m;
}

AgingModel curved(double exponent) {
  AgingModel m;
  // 80 % at 1200 cycles, the loss growing as cycles^exponent.
  double k = 20 / std::pow(1200.0, exponent);
  m.mean_loss = [k, exponent](double c) { return k * std::pow(c, exponent); };
  return m;
}

TEST_F(ForecastAccuracy, StraightFadeWithin10PercentAndInsideTheRange) {
  AgingModel m = linear();
  Forecast f = run(m, 200);
  expect_accurate("straight 0.02 %/cycle", m, f, 0.10);
  EXPECT_EQ(f.model, "line");
  EXPECT_EQ(px::history::utc_date(*f.time_80).size(), 10u);
  ASSERT_FALSE(f.projection.empty());
  EXPECT_DOUBLE_EQ(f.projection.back().health, 80.0);
}

TEST_F(ForecastAccuracy, StraightFadeStartedLateInLife) {
  AgingModel m = linear();
  m.start_cycles = 400;
  m.seed = 11;
  expect_accurate("straight, from cycle 400", m, run(m, 200), 0.10);
}

TEST_F(ForecastAccuracy, CurvedFadesWithin20Percent) {
  for (double exponent : {0.5, 0.65, 0.8}) {
    AgingModel m = curved(exponent);
    m.seed = static_cast<std::uint32_t>(exponent * 100);
    std::string name = "curved p=" + std::to_string(exponent).substr(0, 4);
    expect_accurate(name.c_str(), m, run(m, 200), 0.20);
    device.~TempDevice();
    new (&device) px::tests::support::TempDevice();
  }
}

TEST_F(ForecastAccuracy, RecalibrationGlitchesDoNotDragIt) {
  AgingModel m = linear();
  // Three whole days reading 6 points low, and a few lone samples 10 points low.
  m.glitch = [](std::int64_t t) {
    std::int64_t day = (t - kEpoch) / 86400;
    if (day == 60 || day == 120 || day == 185) return -6.0;
    if ((t - kEpoch) % 86400 == 3600 && day % 9 == 0) return -10.0;
    return 0.0;
  };
  expect_accurate("straight with glitches", m, run(m, 200), 0.10);
}

TEST_F(ForecastAccuracy, NoWearSaysSo) {
  AgingModel m;
  m.mean_loss = [](double) { return 2.0; };  // a battery at 98 % that does not fade
  Forecast f = run(m, 200);
  EXPECT_EQ(f.status, ForecastStatus::no_wear);
  ASSERT_TRUE(f.health_percent);
  EXPECT_NEAR(*f.health_percent, 98.0, 0.1);
  EXPECT_FALSE(f.cycles_to_80);
}

TEST_F(ForecastAccuracy, FiveDaysAreNotEnough) {
  AgingModel m = linear();
  Forecast f = run(m, 5);
  EXPECT_EQ(f.status, ForecastStatus::not_enough_history);
  ASSERT_TRUE(f.days_needed);
  EXPECT_GE(*f.days_needed, 9);
  EXPECT_LE(*f.days_needed, 10);
  EXPECT_FALSE(f.cycles_to_80);
}

TEST(Forecast, EdgesWithoutAFit) {
  EXPECT_EQ(px::history::forecast_health({}).status, ForecastStatus::no_capacity_data);
  std::vector<px::history::DayHealth> worn;
  for (int d = 0; d < 30; ++d)
    worn.push_back({kEpoch + d * 86400, kEpoch + d * 86400 + 3600, 79.0 - d * 0.01, d * 1.5, 10});
  EXPECT_EQ(px::history::forecast_health(worn).status, ForecastStatus::already_below_80);
  // Enough days but the cycle count stands still: no pace, so no "more days"
  // to wait (that said "1 more day" for ever); a short history still waits.
  std::vector<px::history::DayHealth> idle;
  for (int d = 0; d < 30; ++d) idle.push_back({kEpoch + d * 86400, kEpoch + d * 86400 + 3600, 95.0, 300.0, 10});
  EXPECT_EQ(px::history::forecast_health(idle).status, ForecastStatus::not_cycled);
  idle.resize(5);
  EXPECT_EQ(px::history::forecast_health(idle).status, ForecastStatus::not_enough_history);
}

}  // namespace
