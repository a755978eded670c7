// The writer's thinning pass. It works through the old samples one day at a
// time, each day in its own short transaction, and stops when its budget is
// spent: a broadcast never waits long on it, and a pass cut short leaves a
// consistent store (some days thinned, the rest not yet).
#include "history/thinning.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "history/sample_fields.h"
#include "history/sample_rows.h"
#include "history/schema.h"
#include "history/sessions.h"
#include "history/store.h"

namespace px::history {
namespace {

std::int64_t floor_to(std::int64_t t, std::int64_t step) {
  std::int64_t q = t / step;
  if (t % step != 0 && t < 0) --q;
  return q * step;
}

// How far back the state before a day is looked for. Left unknown past it (a
// crafted store of rows that never say), thinning keeps more samples, never
// fewer: an unknown state marks the day's first change as one.
constexpr std::int64_t kStateLookbackRows = 20000;

// What the samples before `time` left: the charger's and fullness's last
// states, read back from the newest samples that say each.
platform::sqlite::Result<> charge_state_before(platform::sqlite::Database& db, std::int64_t time, ChargeState& state) {
  platform::sqlite::Statement st = TRY(db.prepare(
      "SELECT " + sample_columns() + " FROM samples WHERE time < ?1 ORDER BY time DESC, rowid DESC LIMIT ?2"));
  st.bind(1, std::optional<std::int64_t>(time));
  st.bind(2, std::optional<std::int64_t>(kStateLookbackRows));
  state = {};
  while (!state.known() && st.step()) fill_in_from_older(state, sample_from_row(st));
  return st.status();
}

// A window is read this many samples at a time, and the budget is looked at
// between chunks: a day of a crafted store holding millions costs no more
// memory than an ordinary one, and a pass stops within a chunk's time of its
// deadline whatever one day holds.
constexpr std::int64_t kChunkSamples = 2000;

// Deletes the rows from (time, rowid) `first` to `last`, both included.
platform::sqlite::Result<> delete_run(platform::sqlite::Statement& del, std::pair<std::int64_t, std::int64_t> first,
                                      std::pair<std::int64_t, std::int64_t> last) {
  del.reset();
  del.bind(1, std::optional<std::int64_t>(first.first));
  del.bind(2, std::optional<std::int64_t>(last.first));
  del.bind(3, std::optional<std::int64_t>(first.second));
  del.bind(4, std::optional<std::int64_t>(last.second));
  del.step();
  return del.status();
}

// Thins one chunk (in time order) read from the window: deletes all but the
// earliest of each bucket and the samples the sessions and full charges rest
// on, a run of neighbouring rows per statement (no statement grows with what
// a day holds).
platform::sqlite::Result<> thin_chunk(platform::sqlite::Database& db, const std::vector<std::int64_t>& rowids,
                                      const std::vector<Sample>& chunk, std::int64_t bucket_seconds,
                                      WindowCursor& cursor) {
  std::vector<bool> keep(chunk.size(), false);
  for (std::size_t i : session_marking_samples(chunk, cursor.state)) keep[i] = true;
  cursor.state = charge_state_after(chunk, cursor.state);
  for (std::size_t i = 0; i < chunk.size(); ++i) {
    std::int64_t b = floor_to(chunk[i].time, bucket_seconds);
    if (cursor.bucket != b) keep[i] = true;  // the earliest of its bucket
    cursor.bucket = b;
  }
  if (std::count(keep.begin(), keep.end(), true) == static_cast<std::ptrdiff_t>(chunk.size())) return {};
  platform::sqlite::Statement del =
      TRY(db.prepare("DELETE FROM samples WHERE time >= ?1 AND time <= ?2 AND (time, rowid) >= (?1, ?3)"
                     " AND (time, rowid) <= (?2, ?4)"));
  for (std::size_t i = 0; i < chunk.size();) {
    if (keep[i]) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j + 1 < chunk.size() && !keep[j + 1]) ++j;
    TRY(delete_run(del, {chunk[i].time, rowids[i]}, {chunk[j].time, rowids[j]}));
    i = j + 1;
  }
  return {};
}

// Works on [from, to) from where `progress` left off, deleting every sample
// but the earliest of each bucket and the samples the charge sessions and
// full charges rest on, so thinning never changes what they are. Returns with
// `done` false when `deadline` came first (progress says where to go on).
platform::sqlite::Result<> thin_window(platform::sqlite::Database& db, std::int64_t from, std::int64_t to,
                                       std::int64_t bucket_seconds, DayProgress& progress,
                                       std::chrono::steady_clock::time_point deadline, bool& done) {
  done = false;
  for (bool first = true;; first = false) {
    // At least one chunk per call: a pass always moves on.
    if (!first && std::chrono::steady_clock::now() >= deadline) return {};
    const auto& last = progress.last;
    std::string select = "SELECT rowid, " + sample_columns() + " FROM samples WHERE time >= ?1 AND time < ?2" +
                         (last ? " AND (time, rowid) > (?1, ?4)" : "") + " ORDER BY time, rowid LIMIT ?3";
    platform::sqlite::Statement read = TRY(db.prepare(select));
    read.bind(1, std::optional<std::int64_t>(last ? last->first : from));
    read.bind(2, std::optional<std::int64_t>(to));
    read.bind(3, std::optional<std::int64_t>(kChunkSamples));
    if (last) read.bind(4, std::optional<std::int64_t>(last->second));
    std::vector<std::int64_t> rowids;
    std::vector<Sample> chunk;
    while (read.step()) {
      rowids.push_back(read.column_int(0).value_or(0));
      chunk.push_back(sample_from_row(read, 1));
    }
    TRY(read.status());
    if (chunk.empty()) break;
    progress.last = {chunk.back().time, rowids.back()};
    TRY(thin_chunk(db, rowids, chunk, bucket_seconds, progress.cursor));
    if (static_cast<std::int64_t>(chunk.size()) < kChunkSamples) break;
  }
  done = true;
  return {};
}

}  // namespace

StoreResult<> HistoryWriter::note_written(std::int64_t time) {
  if (time >= m_latest_mark) return {};
  // Written into a day a pass has been over: both tiers look at it again.
  std::int64_t day = floor_to(time, kDaySeconds);
  platform::sqlite::Result<> s = m_db.exec("UPDATE store_state SET value = min(value, " + std::to_string(day) +
                                           ") WHERE key IN ('daily_until', 'hourly_until')");
  if (s.ok()) m_latest_mark = day;                        // neither mark is past the day now
  for (TierCursor& cursor : m_tier_cursors) cursor = {};  // the past they describe changed
  return s;
}

StoreResult<> HistoryWriter::thin_if_due(std::int64_t now) {
  // A clock set back by more than a day makes the schedule start afresh.
  if (m_next_thinning > now + kThinningIntervalSeconds) m_next_thinning = 0;
  if (!m_thinning_pending && now < m_next_thinning) return {};
  return thin(now, m_options.thinning_budget_seconds);
}

StoreResult<> HistoryWriter::thin_now(std::int64_t now) {
  if (!m_db.is_open()) {
    RecordResult opened = open_store(now);
    if (!m_db.is_open()) return opened.status;
  }
  return thin(now, 1e9);
}

StoreResult<> HistoryWriter::thin(std::int64_t now, double budget_seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(budget_seconds));
  // Rows at times no device clock shows are not samples: they would make the
  // pass start at a day it never reaches the end of.
  {
    platform::sqlite::Statement strays = TRY(m_db.prepare("DELETE FROM samples WHERE time < ?1 OR time > ?2"));
    strays.bind(1, std::optional<std::int64_t>(kEarliestSampleTime));
    strays.bind(2, std::optional<std::int64_t>(kLatestSampleTime));
    strays.step();
    TRY(strays.status());
  }
  std::optional<std::int64_t> oldest = TRY(m_db.query_int("SELECT min(time) FROM samples"));
  bool finished = true;
  bool moved = false;  // each pass thins something, however short its budget
  // The daily tier first (its days were thinned hourly before), then the
  // hourly one. Each keeps a mark of how far it got, so a day is thinned once
  // per tier however many passes run; a sample written before a mark (the
  // clock set back) moves the mark back to its day (see note_written). A day
  // cut short by the budget goes on where it stopped at the next pass.
  struct Tier {
    const char* mark;
    std::int64_t until, bucket;
  };
  const Tier tiers[] = {{"daily_until", floor_to(now - kDailyAfterSeconds, kDaySeconds), kDaySeconds},
                        {"hourly_until", floor_to(now - kHourlyAfterSeconds, kDaySeconds), 3600}};
  for (std::size_t t = 0; t < std::size(tiers); ++t) {
    const Tier& tier = tiers[t];
    TierCursor& cursor = m_tier_cursors[t];
    if (!oldest || !finished) break;
    std::int64_t from = floor_to(*oldest, kDaySeconds);
    std::optional<std::int64_t> mark =
        TRY(m_db.query_int(std::string("SELECT value FROM store_state WHERE key = '") + tier.mark + "'"));
    if (mark && *mark > from) from = *mark;
    if (from > tier.until) from = tier.until;
    ChargeState state = cursor.state;
    if (from < tier.until && cursor.day != from) {
      cursor.within.reset();
      TRY(charge_state_before(m_db, from, state));
    }
    for (std::int64_t day = from; day < tier.until; day += kDaySeconds) {
      if (moved && Clock::now() >= deadline) {
        finished = false;
        break;
      }
      moved = true;
      platform::sqlite::Transaction tx(m_db, "IMMEDIATE");
      TRY(tx.begun());
      DayProgress progress =
          cursor.day == day && cursor.within ? *cursor.within : DayProgress{std::nullopt, {state, std::nullopt}};
      bool done = false;
      platform::sqlite::Result<> s = thin_window(m_db, day, day + kDaySeconds, tier.bucket, progress, deadline, done);
      if (s.ok() && done)
        s = m_db.exec(std::string("INSERT OR REPLACE INTO store_state VALUES ('") + tier.mark + "', " +
                      std::to_string(day + kDaySeconds) + ")");
      if (s.ok()) s = tx.commit();
      if (!s.ok()) {
        cursor = {};
        return s.error();
      }
      if (!done) {
        // The mark stays on this day; the next pass resumes inside it.
        cursor = {day, state, progress};
        finished = false;
        break;
      }
      state = progress.cursor.state;  // carried to the next day, and to the next pass
      cursor = {day + kDaySeconds, state, std::nullopt};
    }
  }
  m_latest_mark = std::numeric_limits<std::int64_t>::max();
  platform::sqlite::Result<std::optional<std::int64_t>> latest =
      m_db.query_int("SELECT max(value) FROM store_state WHERE key IN ('daily_until', 'hourly_until')");
  if (latest && *latest) m_latest_mark = **latest;
  m_thinning_pending = !finished;
  if (finished) m_next_thinning = now + kThinningIntervalSeconds;
  return m_db.exec("INSERT OR REPLACE INTO store_state VALUES ('next_thinning', " + std::to_string(m_next_thinning) +
                   "), ('thinning_pending', " + std::string(finished ? "0" : "1") + ")");
}

}  // namespace px::history
