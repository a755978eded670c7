// Old samples thinned to one per hour, then one per day; recent ones kept;
// a pass bounded in time and continued later; at most one pass a day.
#include "history/thinning.h"

#include "history/store.h"
#include "tests/history/history_fixture.h"

namespace {
using namespace history_testing;
using history::HistoryWriter;
using history::kDaySeconds;

class Thinning : public HistoryTest {
 protected:
  // Writes a sample every `step` seconds over [from, to), each one different.
  void fill(HistoryWriter& writer, std::int64_t from, std::int64_t to, std::int64_t step) {
    int i = 0;
    for (std::int64_t t = from; t < to; t += step) {
      history::Sample s = sample_at(t, i++ % 100);
      writer.record(s, t);
    }
  }
  long long count_between(std::int64_t from, std::int64_t to) {
    return query("SELECT count(*) FROM samples WHERE time >= " + std::to_string(from) + " AND time < " +
                 std::to_string(to));
  }
  long long busiest_bucket(std::int64_t from, std::int64_t to, std::int64_t bucket) {
    return query("SELECT max(n) FROM (SELECT count(*) AS n FROM samples WHERE time >= " + std::to_string(from) +
                 " AND time < " + std::to_string(to) + " GROUP BY time / " + std::to_string(bucket) + ")");
  }
};

TEST_F(Thinning, OldSamplesKeepOnePerHourThenOnePerDayRecentOnesAll) {
  // A store as a clock-less import would leave it: dense samples over 800 days.
  HistoryWriter::Options unhurried;
  unhurried.thinning_budget_seconds = 1e9;
  HistoryWriter writer(unhurried);
  const std::int64_t now = kEpoch + 800 * kDaySeconds;
  // Thinning is due only once the first sample is written at `now`: write the past first.
  fill(writer, kEpoch, kEpoch + 800 * kDaySeconds, 1800);  // every half hour for 800 days
  fill(writer, now - 40 * kDaySeconds, now, 60 * 7 + 3);   // plus dense recent weeks
  ASSERT_TRUE(writer.thin_now(now).ok());
  const std::int64_t hourly_from = now - history::kHourlyAfterSeconds;
  const std::int64_t daily_from = now - history::kDailyAfterSeconds;
  EXPECT_EQ(busiest_bucket(0, daily_from - kDaySeconds, kDaySeconds), 1) << "one per day after two years";
  EXPECT_EQ(busiest_bucket(daily_from + kDaySeconds, hourly_from - kDaySeconds, 3600), 1)
      << "one per hour after 30 days";
  EXPECT_GT(busiest_bucket(hourly_from + kDaySeconds, now, 3600), 2) << "recent samples untouched";
  EXPECT_EQ(count_between(now - 29 * kDaySeconds, now), (29 * kDaySeconds) / 1800 + (29 * kDaySeconds) / 423 + 1);
  // Each kept sample is the earliest of its hour.
  EXPECT_EQ(query("SELECT count(*) FROM samples WHERE time < " + std::to_string(hourly_from - kDaySeconds) +
                  " AND time > " + std::to_string(daily_from + kDaySeconds) + " AND time % 3600 != 0"),
            0);
}

TEST_F(Thinning, RunsAtMostOnceADayAndAPassCutShortContinues) {
  HistoryWriter::Options hurried;
  hurried.thinning_budget_seconds = 0;  // every pass stops after its first check
  HistoryWriter writer(hurried);
  fill(writer, kEpoch, kEpoch + 40 * kDaySeconds, 600);
  long long before = query("SELECT count(*) FROM samples");
  const std::int64_t now = kEpoch + 40 * kDaySeconds;
  // Each broadcast gets no time at all: nothing is thinned, nothing breaks.
  for (int i = 0; i < 3; ++i) writer.record(sample_at(now + i * 61, i), now + i * 61);
  EXPECT_EQ(query("SELECT count(*) FROM samples"), before + 3);
  EXPECT_EQ(query("SELECT value FROM store_state WHERE key = 'thinning_pending'"), 1);

  // With time to spare the pass finishes, and the next one waits a day.
  HistoryWriter::Options normal;
  HistoryWriter later(normal);
  later.record(sample_at(now + 1000, 77), now + 1000);
  EXPECT_EQ(query("SELECT value FROM store_state WHERE key = 'thinning_pending'"), 0);
  long long thinned = query("SELECT count(*) FROM samples");
  EXPECT_LT(thinned, before);
  EXPECT_EQ(busiest_bucket(kEpoch, now - history::kHourlyAfterSeconds, 3600), 1);
  EXPECT_EQ(query("SELECT value FROM store_state WHERE key = 'next_thinning'"), now + 1000 + kDaySeconds);
}

TEST_F(Thinning, ClockSetFarBackRestartsTheSchedule) {
  HistoryWriter writer;
  fill(writer, kEpoch, kEpoch + 40 * kDaySeconds, 900);
  const std::int64_t now = kEpoch + 40 * kDaySeconds;
  writer.record(sample_at(now, 1), now);
  long long after_first = query("SELECT count(*) FROM samples");
  // The clock goes back a year, then forward again past the old schedule's day.
  writer.record(sample_at(now - 365 * kDaySeconds, 2), now - 365 * kDaySeconds);
  EXPECT_EQ(query("SELECT value FROM store_state WHERE key = 'next_thinning'"), now - 364 * kDaySeconds)
      << "a schedule a year ahead of the clock is not waited for";
  EXPECT_GE(query("SELECT count(*) FROM samples"), after_first);
}

}  // namespace
