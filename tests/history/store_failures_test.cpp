// A store that is damaged, replaced, locked or out of room: the writer moves
// a corrupt one aside and starts again, skips a sample it cannot write after a
// brief wait; readers report the problem instead of showing bad figures.
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "history/store.h"
#include "tests/history/history_fixture.h"

namespace {
namespace fs = std::filesystem;
using namespace px::history;
using px::history::HistoryReader;
using px::history::HistoryWriter;
using px::history::RecordOutcome;
using px::history::StoreProblem;

std::vector<std::string> moved_aside(const std::string& store) {
  std::vector<std::string> out;
  for (auto& e : fs::directory_iterator(fs::path(store).parent_path()))
    if (e.path().filename().string().rfind("PylonexHistory.sqlite.corrupt-", 0) == 0)
      out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class StoreFailures : public HistoryTest {
 protected:
  // The writer's answer to whatever is in the store's place: moved aside, a new store that works.
  void expect_replaced(const std::string& what) {
    HistoryWriter writer;
    px::history::RecordResult r = writer.record(sample_at(kEpoch + 5), kEpoch + 5);
    EXPECT_EQ(r.outcome, RecordOutcome::stored) << what << ": " << r.status.error().detail;
    EXPECT_TRUE(r.replaced_corrupt) << what;
    EXPECT_EQ(moved_aside(store_path()), std::vector<std::string>{"PylonexHistory.sqlite.corrupt-20260101T000005Z"})
        << what;
    EXPECT_EQ(stored().size(), 1u) << what;
  }
};

TEST_F(StoreFailures, GarbageFileIsMovedAsideWithTheUtcStamp) {
  std::ofstream(store_path()) << std::string(5000, 'x');
  HistoryReader reader;
  EXPECT_FALSE(reader.open().ok()) << "a reader reports it, touches nothing";
  EXPECT_TRUE(moved_aside(store_path()).empty());
  expect_replaced("garbage");
  EXPECT_EQ(fs::file_size(store_path() + ".corrupt-20260101T000005Z"), 5000u) << "kept as it was";
}

TEST_F(StoreFailures, TruncatedStoreIsFoundAndReplaced) {
  {
    HistoryWriter writer;
    for (int i = 0; i < 3000; ++i)
      writer.record(sample_at(kEpoch - 100000 + i * 61, i % 100), kEpoch - 100000 + i * 61);
  }
  ASSERT_FALSE(fs::exists(store_path() + "-wal")) << "closing checkpointed everything into the file";
  auto size = fs::file_size(store_path());
  fs::resize_file(store_path(), size / 2 + 100);
  expect_replaced("truncated");
}

TEST_F(StoreFailures, FolderInItsPlaceIsMovedAside) {
  fs::create_directory(store_path());
  std::ofstream(store_path() + "/inside") << "kept";
  expect_replaced("folder");
  EXPECT_TRUE(fs::exists(store_path() + ".corrupt-20260101T000005Z/inside"));
}

TEST_F(StoreFailures, LinkOutOfTheRootIsNeverFollowed) {
  fs::path outside = fs::path(device.root()).parent_path() / ("px-outside-" + std::to_string(::getpid()) + ".sqlite");
  {
    sqlite3* db = nullptr;
    sqlite3_open(outside.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  auto before = fs::file_size(outside);
  fs::create_symlink(outside, store_path());
  HistoryReader reader;
  EXPECT_FALSE(reader.open().ok());
  expect_replaced("link");
  EXPECT_TRUE(fs::is_symlink(store_path() + ".corrupt-20260101T000005Z")) << "the link moved, not its target";
  EXPECT_EQ(fs::file_size(outside), before) << "the file outside was not touched";
  fs::remove(outside);
}

TEST_F(StoreFailures, LinkedWalIsMovedAsideAloneAndTheStoreKept) {
  {
    HistoryWriter writer;
    writer.record(sample_at(kEpoch), kEpoch);
  }
  fs::path outside = fs::path(device.root()).parent_path() / ("px-outside-wal-" + std::to_string(::getpid()));
  std::ofstream(outside) << "not yours";
  fs::create_symlink(outside, store_path() + "-wal");
  HistoryWriter writer;
  px::history::RecordResult r = writer.record(sample_at(kEpoch + 100, 3), kEpoch + 100);
  EXPECT_EQ(r.outcome, RecordOutcome::stored) << r.status.error().detail;
  EXPECT_EQ(stored().size(), 2u) << "the samples before are still there";
  std::string content;
  std::getline(std::ifstream(outside), content);
  EXPECT_EQ(content, "not yours") << "the file outside was not written";
  fs::remove(outside);
}

TEST_F(StoreFailures, FolderOfTheStoreMissingIsReportedNotCreatedElsewhere) {
  fs::remove_all(fs::path(store_path()).parent_path());
  HistoryWriter writer;
  px::history::RecordResult r = writer.record(sample_at(kEpoch), kEpoch);
  EXPECT_EQ(r.outcome, RecordOutcome::skipped);
  EXPECT_EQ(r.status.error().problem, StoreProblem::unavailable);
  HistoryReader reader;
  EXPECT_EQ(reader.open().error().problem, StoreProblem::missing);
}

TEST_F(StoreFailures, LockedStoreSkipsTheSampleAfterABriefWait) {
  HistoryWriter writer;
  writer.record(sample_at(kEpoch), kEpoch);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(store_path().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; INSERT INTO samples(time) VALUES (1);", nullptr, nullptr, nullptr),
            SQLITE_OK);
  px::history::RecordResult r = writer.record(sample_at(kEpoch + 100, 1), kEpoch + 100);
  EXPECT_EQ(r.outcome, RecordOutcome::skipped);
  EXPECT_EQ(r.status.error().problem, StoreProblem::busy);
  // A writer opening while another holds the lock: skipped too, no file moved.
  HistoryWriter second;
  EXPECT_EQ(second.record(sample_at(kEpoch + 200, 2), kEpoch + 200).status.error().problem, StoreProblem::busy);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(writer.record(sample_at(kEpoch + 300, 3), kEpoch + 300).outcome, RecordOutcome::stored);
  EXPECT_TRUE(moved_aside(store_path()).empty());
  EXPECT_EQ(stored().size(), 2u);
}

TEST_F(StoreFailures, FullDiskSkipsSamplesAndRecoversWithRoom) {
  HistoryWriter::Options tight;
  tight.max_pages = 8;
  HistoryWriter writer(tight);
  int stored_count = 0, full = 0;
  for (int i = 0; i < 2000; ++i) {
    px::history::RecordResult r = writer.record(sample_at(kEpoch + 61 * i, i % 100), kEpoch + 61 * i);
    if (r.outcome == RecordOutcome::stored) ++stored_count;
    if (r.status.error().problem == StoreProblem::full) ++full;
  }
  EXPECT_GT(stored_count, 0);
  EXPECT_GT(full, 0);
  EXPECT_TRUE(moved_aside(store_path()).empty()) << "a full disk is not damage";
  HistoryWriter roomy;
  EXPECT_EQ(roomy.record(sample_at(kEpoch + 61 * 3000, 1), kEpoch + 61 * 3000).outcome, RecordOutcome::stored);
  EXPECT_EQ(static_cast<int>(stored().size()), stored_count + 1);
}

}  // namespace
