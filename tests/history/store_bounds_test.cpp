// Stores crafted to stop the history, and the bounds that hold against them:
// a foreign schema, impossible times, a huge day, a stuck log, a full disk, a
// clear under readers.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "history/sample_rows.h"
#include "history/schema.h"
#include "history/store.h"
#include "tests/history/history_fixture.h"

namespace {
namespace fs = std::filesystem;
using namespace px::history;

class StoreBounds : public HistoryTest {
 protected:
  // Runs SQL on the store file with a plain connection (no bounds of ours).
  void craft(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store_path().c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
    sqlite3_free(error);
    sqlite3_close(db);
  }
  long long pending() { return query("SELECT value FROM store_state WHERE key = 'thinning_pending'"); }
};

// Our schema, with `check` added to the samples table and `then` run after.
std::string ours(const std::string& check = "", const std::string& then = "") {
  return "CREATE TABLE samples(time INTEGER NOT NULL, level INTEGER, charging INTEGER, external INTEGER, full INTEGER,"
         " raw_capacity INTEGER, max_capacity INTEGER, design_capacity INTEGER, cycles INTEGER, temperature INTEGER,"
         " voltage INTEGER, amperage INTEGER, watts REAL" +
         check +
         ");CREATE INDEX samples_by_time ON samples(time);"
         "CREATE TABLE store_state(key TEXT PRIMARY KEY, value INTEGER) WITHOUT ROWID;" +
         then;
}

TEST_F(StoreBounds, StoresOfTheRightVersionButAnUnusableSchemaAreReplaced) {
  const std::pair<const char*, std::string> cases[] = {
      {"no tables", ""},
      {"samples(a, b)", "CREATE TABLE samples(a, b); CREATE TABLE store_state(key, value);"},
      {"samples as a view",
       ours("", "ALTER TABLE samples RENAME TO real_samples; CREATE VIEW samples AS SELECT * FROM real_samples;")},
      {"a CHECK no sample meets", ours(", CHECK(level < 0)")},
      {"a unique index", ours("", "CREATE UNIQUE INDEX one_level ON samples(level);")},
      {"a 2 MiB cell in the last row",
       ours("", "INSERT INTO samples(time, level) VALUES (1767225000, 50), (1767225001, zeroblob(2097152) || 'x');")},
  };
  for (const auto& [what, sql] : cases) {
    SCOPED_TRACE(what);
    for (auto& e : fs::directory_iterator(fs::path(store_path()).parent_path()))
      if (e.path().filename().string().starts_with("PylonexHistory.sqlite")) fs::remove_all(e.path());
    craft(sql + "PRAGMA user_version = 1;");
    HistoryReader reader;
    EXPECT_FALSE(reader.open().ok() && (reader.samples(), reader.status().ok())) << "reported, not an empty list";
    HistoryWriter writer;
    RecordResult r = writer.record(sample_at(kEpoch + 5), kEpoch + 5);
    EXPECT_EQ(r.outcome, RecordOutcome::stored) << r.status.error().detail;
    EXPECT_TRUE(r.replaced_corrupt);
    EXPECT_EQ(writer.record(sample_at(kEpoch + 100, 7), kEpoch + 100).outcome, RecordOutcome::stored);
    EXPECT_EQ(stored().size(), 2u);
  }
}

TEST_F(StoreBounds, TimesOutsideTheDevicesRangeAreNotSamples) {
  HistoryWriter writer;
  ASSERT_EQ(writer.record(sample_at(kEpoch), kEpoch).outcome, RecordOutcome::stored);
  EXPECT_EQ(writer.record(sample_at(kEarliestSampleTime - 1), kEpoch + 10).outcome, RecordOutcome::skipped);
  EXPECT_EQ(writer.record(sample_at(kLatestSampleTime + 1), kEpoch + 10).outcome, RecordOutcome::skipped);
  writer.close();
  craft(
      "INSERT INTO samples(time, level) VALUES (-9000000000000000, 1), (-9223372036854775807 - 1, 2),"
      " (9223372036854775807, 3), (-62135596800, 4);");
  std::vector<Sample> read = stored();
  ASSERT_EQ(read.size(), 1u) << "readers skip them";
  EXPECT_EQ(read[0].time, kEpoch);
  // The pass that would have started at day -9e15 finishes, and takes them out.
  HistoryWriter next;
  const std::int64_t due = kEpoch + 2 * kDaySeconds;  // the day's pass is due again
  ASSERT_EQ(next.record(sample_at(due, 9), due).outcome, RecordOutcome::stored);
  EXPECT_EQ(query("SELECT count(*) FROM samples"), 2);
  EXPECT_EQ(pending(), 0);
}

TEST_F(StoreBounds, ADayOfManyRowsIsThinnedAChunkAtATimeAcrossBroadcasts) {
  HistoryWriter().record(sample_at(kEpoch), kEpoch);
  const std::int64_t day = kEpoch - 40 * kDaySeconds;
  craft(
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 9999)"
      " INSERT INTO samples(time, level, external) SELECT " +
      std::to_string(day) + " + i * 864 / 100, i % 100, 0 FROM n;");
  HistoryWriter::Options hurried;
  hurried.thinning_budget_seconds = 0;  // one chunk per pass, however fast the machine
  HistoryWriter writer(hurried);
  const std::int64_t t = kEpoch + 2 * kDaySeconds;  // the day's pass is due again
  writer.record(sample_at(t, 1), t);
  const std::string in_day = "SELECT count(*) FROM samples WHERE time < " + std::to_string(day + kDaySeconds);
  EXPECT_GT(query(in_day), 7000) << "the first pass stopped inside the day";
  EXPECT_EQ(pending(), 1);
  for (int i = 2; i < 60 && pending() != 0; ++i) writer.record(sample_at(t + 60 * i, i), t + 60 * i);
  EXPECT_EQ(query(in_day), 24) << "one per hour once the passes went through the day";
}

TEST_F(StoreBounds, LowDiskLeavesTheRoomAndALogThatCannotShrinkStopsTheWriter) {
  std::uint64_t free = 100 << 10;
  HistoryWriter::Options options;
  options.free_bytes = [&](const std::string&) { return std::optional<std::uint64_t>(free); };
  options.wal_limit_bytes = 256 << 10;
  HistoryWriter writer(options);
  RecordResult r = writer.record(sample_at(kEpoch), kEpoch);
  EXPECT_EQ(r.outcome, RecordOutcome::skipped);
  EXPECT_EQ(r.status.error().problem, StoreProblem::low_space);
  free = 100 << 20;
  ASSERT_EQ(writer.record(sample_at(kEpoch + 60), kEpoch + 60).outcome, RecordOutcome::stored);

  // A reader that never lets go keeps every checkpoint from bringing the log back.
  HistoryReader stuck;
  ASSERT_TRUE(stuck.open().ok());
  ASSERT_TRUE(stuck.begin_read().ok());
  RecordResult last;
  int i = 2;
  for (; i < 400 && last.status.error().problem != StoreProblem::unwritable; ++i)
    last = writer.record(sample_at(kEpoch + 60 * i, i % 100), kEpoch + 60 * i);
  EXPECT_EQ(last.status.error().problem, StoreProblem::unwritable);
  EXPECT_EQ(last.outcome, RecordOutcome::skipped);
  EXPECT_LT(fs::file_size(store_path() + "-wal"), std::uintmax_t{320 << 10}) << "bounded, not growing";
  stuck.end_read();
  EXPECT_EQ(writer.record(sample_at(kEpoch + 60 * i, 3), kEpoch + 60 * i).outcome, RecordOutcome::stored);
}

TEST_F(StoreBounds, ClearingUnderAnotherProcessesReadersNeverFailsThem) {
  HistoryWriter writer;
  for (int i = 0; i < 200; ++i) writer.record(sample_at(kEpoch + 60 * i, i % 100), kEpoch + 60 * i);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {  // reads as the pane and `simdevice history` do, while the parent clears
    int failures = 0;
    for (int i = 0; i < 400; ++i) {
      HistoryReader reader;
      StoreResult<> opened = reader.open();
      if (!opened.ok() && opened.error().problem != StoreProblem::missing) ++failures;
      if (opened.ok()) {
        (void)reader.begin_read();
        reader.samples();
        reader.end_read();
        failures += !reader.status().ok();
      }
      if (i == 0) (void)!::write(ready[1], "r", 1);
    }
    ::_exit(failures == 0 ? 0 : 1);
  }
  ::close(ready[1]);  // a child that dies early ends the read instead of hanging it
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  for (int round = 0; round < 40; ++round) {
    EXPECT_TRUE(writer.clear(kEpoch).ok());
    for (int i = 0; i < 5; ++i) writer.record(sample_at(kEpoch + 20000 + round * 600 + i * 61, i), kEpoch + 20000);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a read failed during a clear";
  EXPECT_TRUE(fs::exists(store_path())) << "the file stays; its rows go";
  EXPECT_TRUE(writer.clear(kEpoch).ok());
  EXPECT_TRUE(stored().empty());
  EXPECT_EQ(query("SELECT count(*) FROM store_state"), 0);
}

}  // namespace
