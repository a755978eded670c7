// Old samples thinned to one per hour, then one per day; recent ones kept;
// a pass bounded in time and continued later; at most one pass a day.
#include "history/thinning.h"

#include <algorithm>

#include "history/overview.h"
#include "history/sample_rows.h"
#include "history/schema.h"
#include "history/sessions.h"
#include "history/store.h"
#include "tests/history/history_fixture.h"

namespace {
using namespace px::history;
using px::history::HistoryWriter;
using px::history::kDaySeconds;

class Thinning : public HistoryTest {
 protected:
  // Writes a sample every `step` seconds over [from, to), each one different.
  void fill(HistoryWriter& writer, std::int64_t from, std::int64_t to, std::int64_t step) {
    int i = 0;
    for (std::int64_t t = from; t < to; t += step) {
      px::history::Sample s = sample_at(t, i++ % 100);
      writer.record(s, t);
    }
  }
  long long count_between(std::int64_t from, std::int64_t to) {
    return query("SELECT count(*) FROM samples WHERE time >= " + std::to_string(from) + " AND time < " +
                 std::to_string(to));
  }
  // The store as a writer that never got to thin would leave it.
  void insert_unthinned(const std::vector<px::history::Sample>& samples) {
    HistoryWriter writer;
    writer.record(sample_at(kEpoch - kDaySeconds), kEpoch - kDaySeconds);
    writer.close();
    auto opened = px::platform::sqlite::Database::open(store_path(), px::platform::sqlite::OpenMode::read_write_create);
    ASSERT_TRUE(opened.ok());
    px::platform::sqlite::Database& db = *opened;
    px::platform::sqlite::Transaction tx(db, "IMMEDIATE");
    px::platform::sqlite::Statement insert = db.prepare(px::history::insert_sample_sql()).release_value();
    for (const px::history::Sample& s : samples) {
      px::history::bind_sample(insert, s);
      insert.step();
      insert.reset();
    }
    ASSERT_TRUE(tx.commit().ok());
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
  const std::int64_t hourly_from = now - px::history::kHourlyAfterSeconds;
  const std::int64_t daily_from = now - px::history::kDailyAfterSeconds;
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
  hurried.thinning_budget_seconds = 0;  // every pass stops after its first piece of work
  std::vector<px::history::Sample> old;
  for (std::int64_t t = kEpoch; t < kEpoch + 40 * kDaySeconds; t += 600) old.push_back(sample_at(t, t / 600 % 100));
  insert_unthinned(old);
  long long before = query("SELECT count(*) FROM samples");
  const std::int64_t now = kEpoch + 40 * kDaySeconds;
  // Each broadcast gets no time at all: a day a pass is thinned, nothing breaks.
  HistoryWriter writer(hurried);
  for (int i = 0; i < 3; ++i) writer.record(sample_at(now + i * 61, i), now + i * 61);
  EXPECT_LT(query("SELECT count(*) FROM samples"), before + 3);
  EXPECT_EQ(query("SELECT value FROM store_state WHERE key = 'thinning_pending'"), 1);

  // With time to spare the pass finishes, and the next one waits a day.
  HistoryWriter::Options spare;
  spare.thinning_budget_seconds = 3600;  // not the default 20 ms: a loaded machine must not cut it short
  HistoryWriter later(spare);
  later.record(sample_at(now + 1000, 77), now + 1000);
  EXPECT_EQ(query("SELECT value FROM store_state WHERE key = 'thinning_pending'"), 0);
  long long thinned = query("SELECT count(*) FROM samples");
  EXPECT_LT(thinned, before);
  EXPECT_EQ(busiest_bucket(kEpoch, now - px::history::kHourlyAfterSeconds, 3600), 1);
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

// A phone's life over more than two years, a sample every 15 minutes: it runs
// down, is plugged in, charges (sometimes to full, staying on the charger a
// while), is unplugged. Some statuses lack ExternalConnected, some lack
// FullyCharged (full then means level 100 on the charger), and some unplug
// statuses lack the level and raw capacity; the adapter's watts peak once a
// session, at a random moment.
std::vector<px::history::Sample> years_of_charging(std::int64_t from, std::int64_t to, std::int64_t step = 900) {
  std::vector<px::history::Sample> out;
  std::uint32_t seed = 12345;
  auto random = [&seed](int n) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(n));
  };
  double level = 80;
  bool plugged = false;
  int target = 90, low = 30, peak_in = 0, full_for = 0;
  for (std::int64_t t = from; t < to; t += step + random(static_cast<int>(step / 7 + 1))) {
    bool unplugging = false;
    if (!plugged && level <= low) {
      plugged = true;
      target = 80 + random(21);
      peak_in = random(8);
    } else if (plugged && level >= target && full_for-- <= 0) {
      plugged = false;
      unplugging = true;
      low = 15 + random(30);
      full_for = random(6);
    }
    level = std::clamp(level + (plugged ? 6.0 : -1.5) * static_cast<double>(step) / 900, 0.0, 100.0);
    px::history::Sample s = sample_at(t, static_cast<std::int32_t>(level), plugged);
    s.full = plugged && level >= 100 ? std::optional<bool>(true) : std::optional<bool>(false);
    if (random(5) == 0) s.full.reset();
    if (random(40) == 0) s.external.reset();
    if (plugged) s.watts = 5.0 + random(50) / 10.0 + (peak_in-- == 0 ? 12.0 : 0.0);
    if (unplugging && random(3) == 0) {
      s.level.reset();
      s.raw_capacity.reset();
    }
    out.push_back(s);
  }
  return out;
}

TEST_F(Thinning, KeepsEverySessionAndFullChargeAsItWas) {
  const std::int64_t now = kEpoch + 800 * kDaySeconds;
  insert_unthinned(years_of_charging(kEpoch, now));
  std::vector<px::history::Sample> before = stored();
  std::vector<px::history::ChargeSession> sessions = px::history::charge_sessions(before);
  std::vector<std::int64_t> fulls = px::history::full_charges(before);
  ASSERT_GT(sessions.size(), 600u);
  ASSERT_GT(fulls.size(), 100u);
  px::history::HistoryReader reader;
  px::history::HistoryOverview overview = px::history::read_overview(reader, now);
  reader.close();
  ASSERT_TRUE(overview.last_full_charge.has_value());

  // As of 45 days later (the days the pane reads are thinned too), in passes
  // cut short as broadcasts run them, each going on where the last stopped.
  HistoryWriter::Options hurried;
  hurried.thinning_budget_seconds = 0.003;
  HistoryWriter writer(hurried);
  std::int64_t t = now + 45 * kDaySeconds;
  int broadcasts = 0;
  do {
    ASSERT_EQ(writer.record(sample_at(t, 50 + broadcasts % 2), t).outcome, px::history::RecordOutcome::stored);
    t += 61;
  } while (++broadcasts < 5000 && query("SELECT value FROM store_state WHERE key = 'thinning_pending'") != 0);
  EXPECT_GT(broadcasts, 3) << "the thinning took several passes";
  std::vector<px::history::Sample> after = stored();
  ASSERT_LT(after.size(), before.size() / 3 + broadcasts) << "thinning did thin";
  EXPECT_EQ(px::history::charge_sessions(after), sessions);
  EXPECT_EQ(px::history::full_charges(after), fulls);
  px::history::HistoryOverview thinned = px::history::read_overview(reader, now);
  EXPECT_EQ(thinned.last_full_charge, overview.last_full_charge);
  EXPECT_EQ(thinned.last_sessions, overview.last_sessions);
  EXPECT_EQ(thinned.sessions_last_30_days, overview.sessions_last_30_days);
}

TEST_F(Thinning, ADayWithMoreSamplesThanOneReadHoldsIsThinnedAcrossTheReads) {
  // A crafted (or very busy) day: some 28 000 samples, read in pieces.
  insert_unthinned(years_of_charging(kEpoch, kEpoch + kDaySeconds, 3));
  std::vector<px::history::Sample> before = stored();
  ASSERT_GT(before.size(), 25000u);
  HistoryWriter::Options unhurried;
  unhurried.thinning_budget_seconds = 1e9;
  HistoryWriter writer(unhurried);
  ASSERT_TRUE(writer.thin_now(kEpoch + 40 * kDaySeconds).ok());
  std::vector<px::history::Sample> after = stored();
  EXPECT_LT(after.size(), 24u + 20u);
  EXPECT_EQ(px::history::charge_sessions(after), px::history::charge_sessions(before));
  EXPECT_EQ(px::history::full_charges(after), px::history::full_charges(before));
  std::vector<px::history::ChargeSession> sessions = px::history::charge_sessions(before);
  ASSERT_GE(sessions.size(), 1u);
  // An hour off the charger keeps its earliest sample alone, also where a read
  // ended inside it (after 20 000 samples, in the 17th hour).
  int hours_off_the_charger = 0;
  for (std::int64_t hour = kEpoch; hour < kEpoch + kDaySeconds; hour += 3600) {
    bool charging = std::any_of(sessions.begin(), sessions.end(), [&](const px::history::ChargeSession& c) {
      return c.start < hour + 3600 && c.end.value_or(INT64_MAX) >= hour;
    });
    if (charging) continue;
    ++hours_off_the_charger;
    EXPECT_EQ(count_between(hour, hour + 3600), 1) << "hour " << (hour - kEpoch) / 3600;
  }
  EXPECT_GT(hours_off_the_charger, 6);
}

}  // namespace
