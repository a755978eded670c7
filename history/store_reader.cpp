#include <algorithm>

#include "history/sample_rows.h"
#include "history/schema.h"
#include "history/store.h"
#include "platform/sqlite/device_database.h"
#include "shared/names.h"

namespace history {

const char* problem_name(StoreProblem problem) {
  switch (problem) {
    case StoreProblem::none:
      return "ok";
    case StoreProblem::missing:
      return "missing";
    case StoreProblem::busy:
      return "busy";
    case StoreProblem::corrupt:
      return "corrupt";
    case StoreProblem::full:
      return "disk full";
    case StoreProblem::newer_schema:
      return "written by a newer version";
    case StoreProblem::low_space:
      return "low on space";
    case StoreProblem::unwritable:
      return "cannot be changed";
    case StoreProblem::unavailable:
      return "unavailable";
  }
  return "unavailable";
}

StoreStatus store_status_of(const sqlite::Status& status) {
  StoreStatus out;
  out.detail = status.message;
  switch (status.failure) {
    case sqlite::Failure::none:
      out.problem = StoreProblem::none;
      break;
    case sqlite::Failure::busy:
      out.problem = StoreProblem::busy;
      break;
    case sqlite::Failure::corrupt:
      out.problem = StoreProblem::corrupt;
      break;
    case sqlite::Failure::full:
      out.problem = StoreProblem::full;
      break;
    case sqlite::Failure::read_only:
      out.problem = StoreProblem::unwritable;
      break;
    default:
      out.problem = StoreProblem::unavailable;
      break;
  }
  return out;
}

StoreStatus HistoryReader::open(std::string_view device_file) {
  m_status = {};
  m_in_read = false;
  sqlite::DeviceOpen opened = sqlite::open_device_database(device_file, sqlite::OpenMode::read_only, m_db);
  if (!opened.status.ok()) {
    m_status = store_status_of(opened.status);
    if (opened.status.failure == sqlite::Failure::cant_open && opened.unfit_host_path.empty()) {
      m_status.problem = StoreProblem::missing;
    }
    m_db.close();
    return m_status;
  }
  // A reader waits a little rather than show "unavailable" while the writer
  // checkpoints; the writer waits far less (kWriterLockWaitMilliseconds).
  m_db.set_busy_timeout(200);
  sqlite::Status s;
  std::optional<std::int64_t> version = m_db.query_int("PRAGMA user_version", &s);
  if (!version) {
    m_status = s.ok() ? StoreStatus{StoreProblem::corrupt, "no schema version"} : store_status_of(s);
  } else if (*version > kSchemaVersion) {
    m_status = {StoreProblem::newer_schema, "schema version " + std::to_string(*version)};
  } else if (*version == 0) {
    // Made but not yet migrated by the writer: as good as no samples yet.
    m_status = {StoreProblem::missing, "store not initialised"};
  } else if (!schema_is_current(m_db, s)) {
    // A view, a constraint or other columns: what it answers is not samples.
    m_status = s.ok() ? StoreStatus{StoreProblem::corrupt, "not a history store: its tables are not this version's"}
                      : store_status_of(s);
  }
  if (!m_status.ok()) m_db.close();
  return m_status;
}

StoreStatus HistoryReader::begin_read() {
  if (!m_db.is_open()) return m_status.ok() ? StoreStatus{StoreProblem::unavailable, "not open"} : m_status;
  end_read();
  // A deferred transaction takes its snapshot at the first read: read now so
  // that every query of the render sees the same state.
  sqlite::Status s = m_db.exec("BEGIN DEFERRED; SELECT count(*) FROM sqlite_schema;");
  if (!s.ok()) {
    note(s);
    return m_status;
  }
  m_in_read = true;
  return {};
}

void HistoryReader::end_read() {
  if (m_in_read) m_db.exec("COMMIT");
  m_in_read = false;
}

void HistoryReader::note(const sqlite::Status& s) {
  if (!s.ok() && m_status.ok()) m_status = store_status_of(s);
}

namespace {

// Binds ?1 and ?2 to [since, until] within the device's range.
void bind_range(sqlite::Statement& st, std::optional<std::int64_t> since, std::optional<std::int64_t> until) {
  st.bind(1, std::optional<std::int64_t>(std::max(since.value_or(kEarliestSampleTime), kEarliestSampleTime)));
  st.bind(2, std::optional<std::int64_t>(std::min(until.value_or(kLatestSampleTime), kLatestSampleTime)));
}

}  // namespace

void HistoryReader::each_sample(std::optional<std::int64_t> since, std::optional<std::int64_t> until,
                                const EachSample& each) {
  sqlite::Status s;
  sqlite::Statement st = m_db.prepare(
      std::string("SELECT ") + kSampleColumns + " FROM samples WHERE time >= ?1 AND time <= ?2 ORDER BY time, rowid",
      &s);
  if (!st.valid()) {
    note(s);
    return;
  }
  bind_range(st, since, until);
  while (st.step())
    if (!each(sample_from_row(st))) return;
  note(st.status());
}

void HistoryReader::each_overview_sample(const EachSample& each, const std::function<void()>& restart) {
  // The same columns as kSampleColumns, those left out as NULL, so one
  // decoder (and its checks of what a crafted store holds) serves both.
  // In rowid order the range is a filter (the unary + keeps SQLite from
  // walking the index and sorting its rows by rowid in a temporary tree).
  const std::string select =
      "SELECT time, level, NULL, external, full, raw_capacity, max_capacity, design_capacity, cycles,"
      " NULL, NULL, NULL, watts FROM samples WHERE ";
  for (bool by_rowid : {true, false}) {
    if (by_rowid && !restart) continue;
    sqlite::Status s;
    sqlite::Statement st = m_db.prepare(select + (by_rowid ? "+time >= ?1 AND +time <= ?2 ORDER BY rowid"
                                                           : "time >= ?1 AND time <= ?2 ORDER BY time, rowid"),
                                        &s);
    if (!st.valid()) {
      note(s);
      return;
    }
    bind_range(st, std::nullopt, std::nullopt);
    bool in_order = true;
    std::int64_t previous = INT64_MIN;
    while (st.step()) {
      Sample sample = sample_from_row(st);
      if (by_rowid && sample.time < previous) {
        in_order = false;
        break;
      }
      previous = sample.time;
      if (!each(sample)) return;
    }
    note(st.status());
    if (in_order) return;
    restart();
  }
}

std::vector<Sample> HistoryReader::samples(std::optional<std::int64_t> since, std::optional<std::int64_t> until) {
  std::vector<Sample> out;
  each_sample(since, until, [&](const Sample& s) {
    out.push_back(s);
    return true;
  });
  return out;
}

std::vector<Sample> HistoryReader::overview_samples() {
  std::vector<Sample> out;
  each_overview_sample(
      [&](const Sample& s) {
        out.push_back(s);
        return true;
      },
      [&] { out.clear(); });
  return out;
}

std::optional<Sample> HistoryReader::last_sample() {
  sqlite::Status s;
  sqlite::Statement st =
      m_db.prepare(std::string("SELECT ") + kSampleColumns +
                       " FROM samples WHERE time >= ?1 AND time <= ?2 ORDER BY time DESC, rowid DESC LIMIT 1",
                   &s);
  if (!st.valid()) {
    note(s);
    return std::nullopt;
  }
  bind_range(st, std::nullopt, std::nullopt);
  if (st.step()) return sample_from_row(st);
  note(st.status());
  return std::nullopt;
}

std::int64_t HistoryReader::sample_count() {
  sqlite::Status s;
  std::optional<std::int64_t> n =
      m_db.query_int("SELECT count(*) FROM samples WHERE time BETWEEN " + std::to_string(kEarliestSampleTime) +
                         " AND " + std::to_string(kLatestSampleTime),
                     &s);
  note(s);
  return n.value_or(0);
}

}  // namespace history
