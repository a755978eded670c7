#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "history/sample_fields.h"
#include "history/sample_rows.h"
#include "history/schema.h"
#include "history/store.h"
#include "platform/foundation/log.h"
#include "platform/sim/keep_aside.h"
#include "platform/sqlite/device_database.h"
#include "shared/names.h"

namespace px::history {
namespace {

bool file_identity(const std::string& path, std::uint64_t& device, std::uint64_t& inode) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  device = st.st_dev;
  inode = st.st_ino;
  return true;
}

std::optional<std::uint64_t> statvfs_free_bytes(const std::string& host_folder) {
  struct statvfs st {};
  if (::statvfs(host_folder.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

std::int64_t file_size(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

}  // namespace

void HistoryWriter::close() {
  for (TierCursor& cursor : m_tier_cursors) cursor = {};
  m_insert = {};
  m_db.close();
  m_last.reset();
  m_inode = m_device = 0;
}

bool HistoryWriter::keep_store_aside(const std::string& host_path, std::int64_t now, RecordResult& result) {
  close();
  // The store moves with its companions, so the set still opens together; a
  // companion named on its own (a -wal that is a link) moves alone.
  std::string device_file = m_options.device_file;
  platform::sim::AsideOptions options;
  options.companions = platform::sqlite::kCompanionSuffixes;
  options.at = static_cast<double>(now);
  for (const char* suffix : platform::sqlite::kCompanionSuffixes) {
    if (host_path == m_host_path + suffix) {
      device_file += suffix;
      options.companions = {};
    }
  }
  platform::sim::Aside aside = platform::sim::keep_aside(platform::sim::DevicePath(device_file), "corrupt", options);
  if (!aside.report.empty()) NSLog("%@", aside.report);
  if (!aside.moved) return false;
  result.replaced_corrupt = true;
  result.moved_aside_to = aside.moved->str();
  return true;
}

RecordResult HistoryWriter::open_store(std::int64_t now) {
  RecordResult result;
  // Two tries: the second after moving a corrupt store aside.
  for (int attempt = 0; attempt < 2; ++attempt) {
    platform::sqlite::DeviceOpen opened =
        platform::sqlite::open_device_database(m_options.device_file, platform::sqlite::OpenMode::read_write_create);
    m_host_path = opened.host_path;
    StoreResult<> s = opened.database ? open_connection(std::move(opened.database).release_value())
                                      : StoreResult<>(opened.database.error());
    if (s.ok()) {
      file_identity(m_host_path, m_device, m_inode);
      return result;
    }
    result.status = s;
    if (s.error().problem == StoreProblem::newer_schema) break;
    if (s.error().problem != StoreProblem::corrupt || attempt == 1) break;
    std::string unfit = opened.unfit_host_path.empty() ? m_host_path : opened.unfit_host_path;
    if (unfit.empty() || !keep_store_aside(unfit, now, result)) break;
  }
  close();
  return result;
}

StoreResult<> HistoryWriter::open_connection(platform::sqlite::Database db) {
  m_db = std::move(db);
  m_db.set_busy_timeout(kWriterLockWaitMilliseconds);
  m_db.set_max_page_count(m_options.max_pages);
  // The writer appends and looks up the last sample: a small page cache
  // does, and SpringBoard keeps it for its whole run.
  TRY(m_db.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-256;"));
  {
    // A truncated or damaged file may open and even answer simple queries;
    // a quick check once per open finds it before a sample is lost to it.
    platform::sqlite::Statement check = TRY(m_db.prepare("PRAGMA quick_check(1)"));
    if (check.step() && check.column_text(0) != "ok")
      return StoreError{StoreProblem::corrupt, "quick_check: " + check.column_text(0)};
    TRY(check.status());
  }
  Migration migration = TRY(migrate(m_db));
  if (migration == Migration::newer)
    return StoreError{StoreProblem::newer_schema, "the store was written by a newer version"};
  if (migration == Migration::foreign) return StoreError{StoreProblem::corrupt, "not a history store"};
  // The right version is not enough: tables of other columns, a view in
  // place of one, a constraint no sample meets would each stop recording
  // for good. A store that is not exactly ours is replaced like a damaged one.
  if (!TRY(schema_is_current(m_db)))
    return StoreError{StoreProblem::corrupt, "not a history store: its tables are not this version's"};
  m_insert = TRY(m_db.prepare(insert_sample_sql()));
  TRY(load_state());
  return {};
}

platform::sqlite::Result<> HistoryWriter::load_state() {
  {
    platform::sqlite::Statement last =
        TRY(m_db.prepare("SELECT " + sample_columns() + " FROM samples ORDER BY rowid DESC LIMIT 1"));
    m_last.reset();
    if (last.step()) m_last = sample_from_row(last);
    TRY(last.status());
  }
  platform::sqlite::Statement state = TRY(m_db.prepare("SELECT key, value FROM store_state"));
  m_next_thinning = 0;
  m_thinning_pending = false;
  m_latest_mark = INT64_MAX;
  while (state.step()) {
    std::string key = state.column_text(0);
    std::int64_t value = state.column_int(1).value_or(0);
    if (key == "next_thinning") m_next_thinning = value;
    if (key == "thinning_pending") m_thinning_pending = value != 0;
    if (key == "daily_until" || key == "hourly_until")
      m_latest_mark = m_latest_mark == INT64_MAX ? value : std::max(m_latest_mark, value);
  }
  return state.status();
}

StoreResult<> HistoryWriter::room_to_write() {
  std::string folder = m_host_path.substr(0, m_host_path.rfind('/'));
  std::optional<std::uint64_t> free = m_options.free_bytes ? m_options.free_bytes(folder) : statvfs_free_bytes(folder);
  if (free && *free < m_options.reserve_bytes)
    return StoreError{StoreProblem::low_space,
                      std::to_string(*free / 1024) + " KiB free, kept for the battery data file"};
  // SQLite checkpoints on its own, and says nothing when that fails (a store
  // file that cannot be written): the log's size tells.
  if (m_options.wal_limit_bytes > 0 && file_size(m_host_path + "-wal") > m_options.wal_limit_bytes) {
    platform::sqlite::Result<> s = [&]() -> platform::sqlite::Result<> {
      platform::sqlite::Statement checkpoint = TRY(m_db.prepare("PRAGMA wal_checkpoint(TRUNCATE)"));
      checkpoint.step();
      return checkpoint.status();
    }();
    if (file_size(m_host_path + "-wal") > m_options.wal_limit_bytes)
      return StoreError{
          StoreProblem::unwritable,
          "its log cannot be written back" + (s.ok() ? std::string(" (a reader holds it)") : ": " + s.error().message)};
  }
  return {};
}

bool HistoryWriter::store_replaced_under_us() const {
  std::uint64_t device = 0, inode = 0;
  return !file_identity(m_host_path, device, inode) || device != m_device || inode != m_inode;
}

RecordResult HistoryWriter::insert(const Sample& sample) {
  RecordResult result;
  m_insert.reset();
  bind_sample(m_insert, sample);
  m_insert.step();
  platform::sqlite::Result<> s = m_insert.status();
  m_insert.reset();
  if (!s.ok()) {
    result.status = s.error();
    return result;
  }
  m_last = sample;
  result.outcome = RecordOutcome::stored;
  return result;
}

RecordResult HistoryWriter::record(const Sample& sample, std::int64_t now) {
  if (m_db.is_open() && store_replaced_under_us()) close();
  RecordResult opened;
  if (!m_db.is_open()) {
    opened = open_store(now);
    if (!m_db.is_open()) return opened;
  }
  if (!time_in_device_range(sample.time)) {
    opened.status = StoreError{StoreProblem::unavailable, "a sample time outside the device's range"};
    return opened;
  }
  if (m_last && repeats(*m_last, sample)) {
    RecordResult r;
    r.outcome = RecordOutcome::repeated;
    return r;
  }
  if (StoreResult<> room = room_to_write(); !room.ok()) {
    opened.status = room;
    return opened;
  }
  RecordResult result = insert(sample);
  if (!result.status.ok() && result.status.error().problem == StoreProblem::corrupt) {
    // Damage found by the write itself: start a new store and keep this sample.
    std::string path = m_host_path;
    RecordResult aside;
    if (keep_store_aside(path, now, aside)) {
      RecordResult reopened = open_store(now);
      if (m_db.is_open())
        result = insert(sample);
      else
        result = reopened;
      result.replaced_corrupt = true;
      result.moved_aside_to = aside.moved_aside_to;
    }
  }
  if (opened.replaced_corrupt) {
    result.replaced_corrupt = true;
    result.moved_aside_to = opened.moved_aside_to;
  }
  if (result.outcome == RecordOutcome::stored) {
    StoreResult<> thinning = note_written(sample.time);
    if (thinning.ok()) thinning = thin_if_due(now);
    if (!thinning.ok() && result.status.ok()) result.status = thinning;
  }
  return result;
}

StoreResult<> HistoryWriter::clear(std::int64_t now) {
  if (!m_db.is_open()) {
    // Not opened in this run: no store, nothing to clear (and none made).
    {
      platform::sqlite::DeviceOpen where =
          platform::sqlite::open_device_database(m_options.device_file, platform::sqlite::OpenMode::read_only);
      if (!where.database && where.database.error().failure == platform::sqlite::Failure::cant_open &&
          where.unfit_host_path.empty()) {
        if (where.host_path.empty())
          return StoreError{StoreProblem::unavailable, "the store's folder cannot be reached"};
        struct stat st {};
        if (::lstat(where.host_path.c_str(), &st) != 0) return {};
      }
    }  // the probe's connection closes before the writer's opens
    RecordResult opened = open_store(now);
    if (!m_db.is_open()) return opened.status;
  }
  platform::sqlite::Result<> s = [&]() -> platform::sqlite::Result<> {
    TRY(m_db.exec("PRAGMA secure_delete=ON"));
    platform::sqlite::Transaction tx(m_db, "IMMEDIATE");
    TRY(tx.begun());
    TRY(m_db.exec("DELETE FROM samples; DELETE FROM store_state;"));
    return tx.commit();
  }();
  (void)m_db.exec("PRAGMA secure_delete=OFF");
  if (!s.ok()) return s.error();
  // The old pages stay in the log until a checkpoint writes the zeroed ones
  // back; a reader still on the old snapshot holds that off (a busy result,
  // not a failure: the next checkpoint does it).
  (void)m_db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
  m_last.reset();
  m_next_thinning = 0;
  m_thinning_pending = false;
  m_latest_mark = INT64_MAX;
  for (TierCursor& cursor : m_tier_cursors) cursor = {};
  return {};
}

}  // namespace px::history
