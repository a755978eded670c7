// The store written and read back: samples whole, absent values as NULL,
// repeats dropped, the schema versioned, reads consistent, clear complete.
#include "history/store.h"

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/history/history_fixture.h"

namespace {
using namespace px::history;
using px::history::HistoryReader;
using px::history::HistoryWriter;
using px::history::RecordOutcome;
using px::history::StoreProblem;

class Store : public HistoryTest {};

TEST_F(Store, SamplesComeBackWholeAndAbsentValuesAsNull) {
  HistoryWriter writer;
  px::history::Sample full = sample_at(kEpoch, 40, true);
  px::history::Sample sparse;
  sparse.time = kEpoch + 120;
  sparse.level = 41;
  EXPECT_EQ(writer.record(full, kEpoch).outcome, RecordOutcome::stored);
  EXPECT_EQ(writer.record(sparse, kEpoch + 120).outcome, RecordOutcome::stored);
  EXPECT_EQ(stored(), (std::vector<px::history::Sample>{full, sparse}));
  EXPECT_EQ(query("SELECT count(*) FROM samples WHERE max_capacity IS NULL AND watts IS NULL AND cycles IS NULL"), 1)
      << "absent readings are NULL in the file, not 0";
  EXPECT_EQ(query("PRAGMA user_version"), px::history::kSchemaVersion);
  EXPECT_EQ(query("PRAGMA journal_mode") >= 0, true);
}

TEST_F(Store, RepeatsWithinAMinuteAreDroppedAcrossReopening) {
  {
    HistoryWriter writer;
    EXPECT_EQ(writer.record(sample_at(kEpoch), kEpoch).outcome, RecordOutcome::stored);
    EXPECT_EQ(writer.record(sample_at(kEpoch + 20), kEpoch + 20).outcome, RecordOutcome::repeated);
  }
  HistoryWriter next_run;  // a respring: the last sample is read back from the store
  EXPECT_EQ(next_run.record(sample_at(kEpoch + 40), kEpoch + 40).outcome, RecordOutcome::repeated);
  EXPECT_EQ(next_run.record(sample_at(kEpoch + 60), kEpoch + 60).outcome, RecordOutcome::stored);
  EXPECT_EQ(next_run.record(sample_at(kEpoch + 61, 49), kEpoch + 61).outcome, RecordOutcome::stored);
  EXPECT_EQ(stored().size(), 3u);
}

TEST_F(Store, RangeQueryAndOrderFollowTimeNotInsertion) {
  HistoryWriter writer;
  for (std::int64_t t : {300, 100, 200}) writer.record(sample_at(kEpoch + t, static_cast<int>(t / 10)), kEpoch + t);
  HistoryReader reader;
  ASSERT_TRUE(reader.open().ok());
  std::vector<px::history::Sample> mid = reader.samples(kEpoch + 100, kEpoch + 200);
  ASSERT_EQ(mid.size(), 2u);
  EXPECT_EQ(mid[0].time, kEpoch + 100);
  EXPECT_EQ(mid[1].time, kEpoch + 200);
  EXPECT_EQ(reader.last_sample()->time, kEpoch + 300);
  EXPECT_EQ(reader.sample_count(), 3);
}

TEST_F(Store, PaneReadingIsInTimeOrderAndHoldsOnlyThePanesReadings) {
  HistoryWriter writer;
  // The clock set back twice: rows are no longer in time order; two share a time.
  int level = 10;
  for (std::int64_t t : {300, 100, 200, 100}) writer.record(sample_at(kEpoch + t, level++), kEpoch + t);
  HistoryReader reader;
  ASSERT_TRUE(reader.open().ok());
  std::vector<px::history::Sample> whole = reader.samples(), lean = reader.overview_samples();
  ASSERT_EQ(lean.size(), whole.size());
  for (std::size_t i = 0; i < whole.size(); ++i) {
    px::history::Sample expected = whole[i];
    expected.charging.reset();
    expected.temperature.reset();
    expected.voltage.reset();
    expected.amperage.reset();
    EXPECT_EQ(lean[i], expected) << "sample " << i << " (same order as ORDER BY time, rowid)";
  }
}

TEST_F(Store, ReaderWithoutStoreSaysMissingAndMakesNothing) {
  HistoryReader reader;
  EXPECT_EQ(reader.open().error().problem, StoreProblem::missing);
  EXPECT_FALSE(std::filesystem::exists(store_path()));
}

TEST_F(Store, OneReadTransactionSeesOneStateWhileTheWriterGoesOn) {
  HistoryWriter writer;
  writer.record(sample_at(kEpoch), kEpoch);
  HistoryReader reader;
  ASSERT_TRUE(reader.open().ok());
  ASSERT_TRUE(reader.begin_read().ok());
  EXPECT_EQ(reader.sample_count(), 1);
  writer.record(sample_at(kEpoch + 100, 10), kEpoch + 100);
  EXPECT_EQ(reader.sample_count(), 1) << "inside the render's transaction";
  EXPECT_EQ(reader.samples().size(), 1u);
  reader.end_read();
  EXPECT_EQ(reader.sample_count(), 2);
}

TEST_F(Store, NewerSchemaIsLeftUntouchedAndOlderIsMigrated) {
  {
    HistoryWriter writer;
    writer.record(sample_at(kEpoch), kEpoch);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(store_path().c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  HistoryWriter writer;
  px::history::RecordResult r = writer.record(sample_at(kEpoch + 100, 7), kEpoch + 100);
  EXPECT_EQ(r.outcome, RecordOutcome::skipped);
  EXPECT_EQ(r.status.error().problem, StoreProblem::newer_schema);
  EXPECT_EQ(query("SELECT count(*) FROM samples"), 1) << "a newer store is neither written nor moved aside";
  HistoryReader reader;
  EXPECT_EQ(reader.open().error().problem, StoreProblem::newer_schema);

  // An empty version-0 file (made, never migrated) becomes a current store.
  std::filesystem::remove(store_path());
  ASSERT_EQ(sqlite3_open(store_path().c_str(), &db), SQLITE_OK);
  sqlite3_close(db);
  HistoryWriter fresh;
  EXPECT_EQ(fresh.record(sample_at(kEpoch), kEpoch).outcome, RecordOutcome::stored);
  EXPECT_EQ(query("PRAGMA user_version"), px::history::kSchemaVersion);
}

TEST_F(Store, ClearForgetsEverySampleInsideTheStoreAndTheNextIsRecorded) {
  HistoryWriter writer;
  for (int i = 0; i < 5; ++i) writer.record(sample_at(kEpoch + 100 * i, i), kEpoch + 100 * i);
  HistoryReader open_reader;  // a pane open while the store is cleared
  ASSERT_TRUE(open_reader.open().ok());
  EXPECT_TRUE(writer.clear(kEpoch + 500).ok());
  EXPECT_TRUE(open_reader.samples().empty());
  EXPECT_TRUE(open_reader.status().ok()) << "the open reader sees none, not an error";
  EXPECT_EQ(writer.record(sample_at(kEpoch + 1000), kEpoch + 1000).outcome, RecordOutcome::stored);
  EXPECT_EQ(stored().size(), 1u);
  writer.close();
  std::filesystem::remove(store_path());
  HistoryWriter never_opened;
  EXPECT_TRUE(never_opened.clear(kEpoch).ok()) << "no store: nothing to clear";
  EXPECT_FALSE(std::filesystem::exists(store_path())) << "and none made";
}

TEST_F(Store, StoreRemovedUnderTheWriterIsStartedAgain) {
  HistoryWriter writer;
  writer.record(sample_at(kEpoch), kEpoch);
  std::filesystem::remove(store_path());
  std::filesystem::remove(store_path() + "-wal");
  std::filesystem::remove(store_path() + "-shm");
  EXPECT_EQ(writer.record(sample_at(kEpoch + 100, 9), kEpoch + 100).outcome, RecordOutcome::stored);
  EXPECT_EQ(stored().size(), 1u) << "written to the file that is there, not the removed one";
}

TEST_F(Store, AnotherProcessReadingWhileTheWriterWritesSeesWholeConsistentStates) {
  px::history::HistoryWriter first;
  first.record(sample_at(kEpoch, 0), kEpoch);
  first.close();
  pid_t child = ::fork();
  if (child == 0) {
    px::history::HistoryWriter writer;  // the child's own connection
    for (int i = 1; i <= 1500; ++i) writer.record(sample_at(kEpoch + 61 * i, i % 101), kEpoch);
    ::_exit(0);
  }
  int reads = 0;
  std::size_t last_size = 0;
  for (int status = 0; ::waitpid(child, &status, WNOHANG) == 0; ++reads) {
    HistoryReader reader;
    if (!reader.open().ok()) continue;
    ASSERT_TRUE(reader.begin_read().ok());
    std::int64_t before = reader.sample_count();
    std::vector<px::history::Sample> rows = reader.samples();
    std::int64_t after = reader.sample_count();
    reader.end_read();
    ASSERT_EQ(before, after) << "one state for the whole render";
    ASSERT_EQ(static_cast<std::int64_t>(rows.size()), before);
    ASSERT_GE(rows.size(), last_size) << "never an older state than the last render's";
    last_size = rows.size();
    for (std::size_t i = 0; i < rows.size(); ++i)
      ASSERT_EQ(rows[i], sample_at(kEpoch + 61 * static_cast<std::int64_t>(i), static_cast<int>(i % 101)))
          << "whole samples, in order, none missing";
  }
  EXPECT_GT(reads, 0);
  EXPECT_EQ(stored().size(), 1501u);
}

}  // namespace
