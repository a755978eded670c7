// The writer's thinning pass. It works through the old samples one day at a
// time, each day in its own short transaction, and stops when its budget is
// spent: a broadcast never waits long on it, and a pass cut short leaves a
// consistent store (some days thinned, the rest not yet).
#include "history/thinning.h"

#include <chrono>
#include <limits>

#include "history/store.h"

namespace history {
namespace {

// Deletes every sample in [from, to) but the earliest of each bucket.
sqlite::Status thin_window(sqlite::Database& db, std::int64_t from, std::int64_t to, std::int64_t bucket_seconds) {
  sqlite::Status s;
  sqlite::Statement del = db.prepare(
      "DELETE FROM samples WHERE time >= ?1 AND time < ?2 AND rowid NOT IN ("
      "  SELECT kept FROM (SELECT rowid AS kept, min(time) FROM samples WHERE time >= ?1 AND time < ?2"
      "                    GROUP BY time / ?3))",
      &s);
  if (!del.valid()) return s;
  del.bind(1, std::optional<std::int64_t>(from));
  del.bind(2, std::optional<std::int64_t>(to));
  del.bind(3, std::optional<std::int64_t>(bucket_seconds));
  del.step();
  return del.status();
}

std::int64_t floor_to(std::int64_t t, std::int64_t step) {
  std::int64_t q = t / step;
  if (t % step != 0 && t < 0) --q;
  return q * step;
}

}  // namespace

StoreStatus HistoryWriter::note_written(std::int64_t time) {
  if (time >= m_latest_mark) return {};
  // Written into a day a pass has been over: both tiers look at it again.
  std::int64_t day = floor_to(time, kDaySeconds);
  sqlite::Status s = m_db.exec("UPDATE store_state SET value = min(value, " + std::to_string(day) +
                               ") WHERE key IN ('daily_until', 'hourly_until')");
  if (s.ok()) m_latest_mark = day;  // neither mark is past the day now
  return store_status_of(s);
}

StoreStatus HistoryWriter::thin_if_due(std::int64_t now) {
  // A clock set back by more than a day makes the schedule start afresh.
  if (m_next_thinning > now + kThinningIntervalSeconds) m_next_thinning = 0;
  if (!m_thinning_pending && now < m_next_thinning) return {};
  return thin(now, m_options.thinning_budget_seconds);
}

StoreStatus HistoryWriter::thin_now(std::int64_t now) {
  if (!m_db.is_open()) {
    RecordResult opened = open_store(now);
    if (!m_db.is_open()) return opened.status;
  }
  return thin(now, 1e9);
}

StoreStatus HistoryWriter::thin(std::int64_t now, double budget_seconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(budget_seconds));
  sqlite::Status s;
  std::optional<std::int64_t> oldest = m_db.query_int("SELECT min(time) FROM samples", &s);
  if (!s.ok()) return store_status_of(s);
  bool finished = true;
  // The daily tier first (its days were thinned hourly before), then the
  // hourly one. Each keeps a mark of how far it got, so a day is thinned once
  // per tier however many passes run; a sample written before a mark (the
  // clock set back) moves the mark back to its day (see note_written).
  struct Tier {
    const char* mark;
    std::int64_t until, bucket;
  };
  const Tier tiers[] = {{"daily_until", floor_to(now - kDailyAfterSeconds, kDaySeconds), kDaySeconds},
                        {"hourly_until", floor_to(now - kHourlyAfterSeconds, kDaySeconds), 3600}};
  for (const Tier& tier : tiers) {
    if (!oldest || !finished) break;
    std::int64_t from = floor_to(*oldest, kDaySeconds);
    std::optional<std::int64_t> mark =
        m_db.query_int(std::string("SELECT value FROM store_state WHERE key = '") + tier.mark + "'", &s);
    if (!s.ok()) return store_status_of(s);
    if (mark && *mark > from) from = *mark;
    if (from > tier.until) from = tier.until;
    for (std::int64_t day = from; day < tier.until; day += kDaySeconds) {
      if (Clock::now() >= deadline) {
        finished = false;
        break;
      }
      sqlite::Transaction tx(m_db, "IMMEDIATE");
      if (!tx.begun().ok()) return store_status_of(tx.begun());
      s = thin_window(m_db, day, day + kDaySeconds, tier.bucket);
      if (s.ok())
        s = m_db.exec(std::string("INSERT OR REPLACE INTO store_state VALUES ('") + tier.mark + "', " +
                      std::to_string(day + kDaySeconds) + ")");
      if (s.ok()) s = tx.commit();
      if (!s.ok()) return store_status_of(s);
    }
  }
  m_latest_mark = std::numeric_limits<std::int64_t>::max();
  std::optional<std::int64_t> latest =
      m_db.query_int("SELECT max(value) FROM store_state WHERE key IN ('daily_until', 'hourly_until')", &s);
  if (latest) m_latest_mark = *latest;
  m_thinning_pending = !finished;
  if (finished) m_next_thinning = now + kThinningIntervalSeconds;
  s = m_db.exec("INSERT OR REPLACE INTO store_state VALUES ('next_thinning', " + std::to_string(m_next_thinning) +
                "), ('thinning_pending', " + std::string(finished ? "0" : "1") + ")");
  return store_status_of(s);
}

}  // namespace history
