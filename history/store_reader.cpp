#include <algorithm>

#include "history/sample_fields.h"
#include "history/sample_rows.h"
#include "history/schema.h"
#include "history/store.h"
#include "platform/sqlite/device_database.h"
#include "shared/names.h"

namespace px::history {

const char* problem_name(StoreProblem problem) {
  switch (problem) {
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

StoreError::StoreError(const platform::sqlite::Error& error) : detail(error.message) {
  switch (error.failure) {
    case platform::sqlite::Failure::busy:
      problem = StoreProblem::busy;
      break;
    case platform::sqlite::Failure::corrupt:
      problem = StoreProblem::corrupt;
      break;
    case platform::sqlite::Failure::full:
      problem = StoreProblem::full;
      break;
    case platform::sqlite::Failure::read_only:
      problem = StoreProblem::unwritable;
      break;
    default:
      problem = StoreProblem::unavailable;
      break;
  }
}

StoreResult<> HistoryReader::open(std::string_view device_file) {
  m_in_read = false;
  m_db.close();
  m_status = open_checked(device_file);
  if (!m_status.ok()) m_db.close();
  return m_status;
}

StoreResult<> HistoryReader::open_checked(std::string_view device_file) {
  platform::sqlite::DeviceOpen opened =
      platform::sqlite::open_device_database(device_file, platform::sqlite::OpenMode::read_only);
  if (!opened.database) {
    StoreError error = opened.database.error();
    if (opened.database.error().failure == platform::sqlite::Failure::cant_open && opened.unfit_host_path.empty())
      error.problem = StoreProblem::missing;
    return error;
  }
  m_db = std::move(opened.database).release_value();
  // A reader waits a little rather than show "unavailable" while the writer
  // checkpoints; the writer waits far less (kWriterLockWaitMilliseconds).
  m_db.set_busy_timeout(200);
  std::optional<std::int64_t> version = TRY(m_db.query_int("PRAGMA user_version"));
  if (!version) return StoreError{StoreProblem::corrupt, "no schema version"};
  if (*version > kSchemaVersion)
    return StoreError{StoreProblem::newer_schema, "schema version " + std::to_string(*version)};
  // Made but not yet migrated by the writer: as good as no samples yet.
  if (*version == 0) return StoreError{StoreProblem::missing, "store not initialised"};
  // A view, a constraint or other columns: what it answers is not samples.
  if (!TRY(schema_is_current(m_db)))
    return StoreError{StoreProblem::corrupt, "not a history store: its tables are not this version's"};
  return {};
}

StoreResult<> HistoryReader::begin_read() {
  if (!m_db.is_open()) return m_status.ok() ? StoreError{StoreProblem::unavailable, "not open"} : m_status;
  end_read();
  // A deferred transaction takes its snapshot at the first read: read now so
  // that every query of the render sees the same state.
  platform::sqlite::Result<> s = m_db.exec("BEGIN DEFERRED; SELECT count(*) FROM sqlite_schema;");
  if (!s.ok()) {
    note(s);
    return m_status;
  }
  m_in_read = true;
  return {};
}

void HistoryReader::end_read() {
  if (m_in_read) (void)m_db.exec("COMMIT");
  m_in_read = false;
}

void HistoryReader::note(const platform::sqlite::Result<>& s) {
  if (!s.ok() && m_status.ok()) m_status = s.error();
}

namespace {

// Binds ?1 and ?2 to [since, until] within the device's range.
void bind_range(platform::sqlite::Statement& st, std::optional<std::int64_t> since, std::optional<std::int64_t> until) {
  st.bind(1, std::optional<std::int64_t>(std::max(since.value_or(kEarliestSampleTime), kEarliestSampleTime)));
  st.bind(2, std::optional<std::int64_t>(std::min(until.value_or(kLatestSampleTime), kLatestSampleTime)));
}

}  // namespace

void HistoryReader::each_sample(std::optional<std::int64_t> since, std::optional<std::int64_t> until,
                                const EachSample& each) {
  platform::sqlite::Result<platform::sqlite::Statement> prepared =
      m_db.prepare("SELECT " + sample_columns() + " FROM samples WHERE time >= ?1 AND time <= ?2 ORDER BY time, rowid");
  if (!prepared) return note(prepared.error());
  platform::sqlite::Statement& st = *prepared;
  bind_range(st, since, until);
  while (st.step())
    if (!each(sample_from_row(st))) return;
  note(st.status());
}

void HistoryReader::each_overview_sample(const EachSample& each, const std::function<void()>& restart) {
  // The same columns as sample_columns(), those left out as NULL, so one
  // decoder (and its checks of what a crafted store holds) serves both.
  // In rowid order the range is a filter (the unary + keeps SQLite from
  // walking the index and sorting its rows by rowid in a temporary tree).
  const std::string select = "SELECT " + overview_columns() + " FROM samples WHERE ";
  for (bool by_rowid : {true, false}) {
    if (by_rowid && !restart) continue;
    platform::sqlite::Result<platform::sqlite::Statement> prepared =
        m_db.prepare(select + (by_rowid ? "+time >= ?1 AND +time <= ?2 ORDER BY rowid"
                                        : "time >= ?1 AND time <= ?2 ORDER BY time, rowid"));
    if (!prepared) return note(prepared.error());
    platform::sqlite::Statement& st = *prepared;
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
  platform::sqlite::Result<platform::sqlite::Statement> prepared =
      m_db.prepare("SELECT " + sample_columns() +
                   " FROM samples WHERE time >= ?1 AND time <= ?2 ORDER BY time DESC, rowid DESC LIMIT 1");
  if (!prepared) {
    note(prepared.error());
    return std::nullopt;
  }
  platform::sqlite::Statement& st = *prepared;
  bind_range(st, std::nullopt, std::nullopt);
  if (st.step()) return sample_from_row(st);
  note(st.status());
  return std::nullopt;
}

std::int64_t HistoryReader::sample_count() {
  platform::sqlite::Result<std::optional<std::int64_t>> n =
      m_db.query_int("SELECT count(*) FROM samples WHERE time BETWEEN " + std::to_string(kEarliestSampleTime) +
                     " AND " + std::to_string(kLatestSampleTime));
  if (!n) note(n.error());
  return n.value_or(std::nullopt).value_or(0);
}

}  // namespace px::history
