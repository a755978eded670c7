// The page's feed on a device whose history store the add-on keeps open: the
// server's own reads of the store are no change, the add-on's rows are.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "history/store.h"
#include "host/web/change_source.h"
#include "host/web/state_document.h"
#include "host/web/state_feed.h"
#include "tests/support/temp_device.h"

namespace web {
namespace {

history::Sample sample_at(std::int64_t time, int level) {
  history::Sample s;
  s.time = time;
  s.level = level;
  s.max_capacity = 1500;
  s.design_capacity = 1560;
  s.amperage = -300;
  return s;
}

// As the add-on in SpringBoard: another process, one connection kept open,
// a row appended to the store's log for each byte read from `rows`, and its
// outcome written back.
pid_t run_writer(const int (&rows)[2], const int (&done)[2]) {
  pid_t pid = ::fork();
  if (pid != 0) return pid;
  // The test's ends: while the child holds them, it never sees the end of `rows`.
  ::close(rows[1]);
  ::close(done[0]);
  history::HistoryWriter writer;
  std::int64_t time = 1'800'000'000;
  char level = 0;
  while (::read(rows[0], &level, 1) == 1) {
    time += 60;
    char stored = writer.record(sample_at(time, level), time).outcome == history::RecordOutcome::stored;
    if (::write(done[1], &stored, 1) != 1) break;
  }
  _exit(0);
}

TEST(WebFeedTest, ReadingTheHistoryStoreIsNoChangeAndANewRowIs) {
  testing_support::TempDevice device;
  int rows[2], done[2];
  ASSERT_EQ(::pipe(rows), 0);
  ASSERT_EQ(::pipe(done), 0);
  pid_t writer = run_writer(rows, done);
  ASSERT_GT(writer, 0);
  auto record = [&](char level) {
    char stored = 0;
    return ::write(rows[1], &level, 1) == 1 && ::read(done[0], &stored, 1) == 1 && stored;
  };
  ASSERT_TRUE(record(80));

  StateComposer composer;
  StateFeed feed([&composer] { return composer.compose(); });
  feed.start();
  auto changes = make_change_source();
  ASSERT_TRUE(changes->start(watched_device_folders(), [&feed](bool) { feed.mark_changed(); }));
  // One change seen, as a device has before it settles: the store is read once more.
  feed.mark_changed();

  // Each composition carries the device's time, so every one is a new
  // generation: with nothing changing, a few at most (the first composition,
  // the server's one open of the store), not one per read of it.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  long long idle = feed.current().generation;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_LE(feed.current().generation, idle + 2) << "the feed composes again on its own reads";

  // The add-on's next row is only written to the store's log, never closed.
  long long before = feed.current().generation;
  EXPECT_TRUE(record(79));
  EXPECT_TRUE(feed.wait_newer(before, std::chrono::seconds(20))) << "a history row did not reach the feed";

  changes->stop();
  feed.stop();
  for (int fd : {rows[0], rows[1], done[0], done[1]}) ::close(fd);
  int status = 0;
  ::waitpid(writer, &status, 0);
}

}  // namespace
}  // namespace web
