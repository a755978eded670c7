// The History panes' wording: the forecast in each state, rounding of cycle
// counts, and rows with readings that were never recorded.

#include <gtest/gtest.h>

#include <cstdlib>

#include "prefs/history_texts.h"

namespace {

using px::history::Forecast;
using px::history::ForecastStatus;

class HistoryTexts : public ::testing::Test {
 protected:
  // Dates in a fixed zone, whatever the machine's.
  void SetUp() override { setenv("TZ", "UTC", 1); }
};

// A chart's end labels: months over a long span, days or hours over a short
// one, where months would read "December 2026 … December 2026".
TEST_F(HistoryTexts, AxisLabelsAreAsFineAsTheSpanNeeds) {
  constexpr std::int64_t day = 86'400, t = 1'796'688'000;  // Dec 8 2026 00:00 UTC
  EXPECT_EQ(px::prefs::axis_time_text(t, 60 * day), "December 2026");
  EXPECT_EQ(px::prefs::axis_time_text(t + 59 * day, 59 * day), "Feb 5");
  EXPECT_EQ(px::prefs::axis_time_text(t + 2 * day, 2 * day), "Dec 10");
  EXPECT_EQ(px::prefs::axis_time_text(t + 43'200, day), "Dec 8 12:00");
}

TEST_F(HistoryTexts, ForecastSaysWhatTheFitFoundInEachState) {
  Forecast f;
  f.status = ForecastStatus::ok;
  f.cycles_to_80 = 418.6;
  f.cycles_to_80_low = 377;
  f.cycles_to_80_high = 472;
  f.time_80 = 1'837'000'000;  // March 2028
  EXPECT_EQ(px::prefs::forecast_text(f), "80 % in about 420 cycles (380–470), around March 2028");
  f.cycles_to_80_high.reset();  // the data cannot rule out no wear
  f.time_80.reset();            // no pace of cycles to date it
  EXPECT_EQ(px::prefs::forecast_text(f), "80 % in about 420 cycles (380 or more)");
  f.cycles_to_80 = 42;
  f.cycles_to_80_low = 7;
  f.cycles_to_80_high = 61;
  EXPECT_EQ(px::prefs::forecast_text(f), "80 % in about 40 cycles (7–60)");
  f = Forecast{};
  f.status = ForecastStatus::not_enough_history;
  f.days_needed = 9;
  EXPECT_EQ(px::prefs::forecast_text(f), "Not enough history yet (9 more days)");
  f.days_needed = 1;
  EXPECT_EQ(px::prefs::forecast_text(f), "Not enough history yet (1 more day)");
  f.days_needed.reset();
  EXPECT_EQ(px::prefs::forecast_text(f), "Not enough history yet");
  f.status = ForecastStatus::no_wear;
  EXPECT_EQ(px::prefs::forecast_text(f), "No wear measured yet");
  f.status = ForecastStatus::already_below_80;
  EXPECT_EQ(px::prefs::forecast_text(f), "Already below 80 %");
}

TEST_F(HistoryTexts, HealthHasOneDecimalAndAbsenceIsSaid) {
  EXPECT_EQ(px::prefs::health_text(91.449), "91.4 %");
  EXPECT_EQ(px::prefs::health_text(100), "100.0 %");
  EXPECT_EQ(px::prefs::health_text(std::nullopt), "Not yet available");
  EXPECT_EQ(px::prefs::cycles_per_week_text(1.5), "10.5");
  EXPECT_EQ(px::prefs::cycles_per_week_text(std::nullopt), "Not yet available");
}

TEST_F(HistoryTexts, SessionsShowEndsRangesAndWhatWasNotRecorded) {
  px::history::ChargeSession s;
  s.start = 1'772'571'900;  // 2026-03-03 21:05 UTC
  s.end = s.start + 2 * 3600 + 5 * 60;
  s.start_level = 20;
  s.end_level = 90;
  s.mah_added = 1092;
  s.peak_watts = 5;
  s.duration = *s.end - s.start;
  EXPECT_EQ(px::prefs::session_title(s), "Mar 3 21:05 → 23:10");
  EXPECT_EQ(px::prefs::session_details(s), "20 % → 90 %, +1092 mAh, 5 W, 2 h 05 min");
  s.end = s.start + 5 * 3600;  // past midnight: the end's date is said
  EXPECT_EQ(px::prefs::session_title(s), "Mar 3 21:05 → Mar 4 02:05");
  s.end.reset();
  s.end_level.reset();
  s.mah_added.reset();
  s.peak_watts.reset();
  s.duration = 45 * 60;
  EXPECT_EQ(px::prefs::session_title(s), "Mar 3 21:05 → now");
  EXPECT_EQ(px::prefs::session_details(s), "20 % → –, – mAh, – W, 45 min");
  EXPECT_EQ(px::prefs::duration_text(3 * 86400 + 4 * 3600 + 59), "3 d 4 h");
  EXPECT_EQ(px::prefs::duration_text(-5), "0 min");
}

}  // namespace
