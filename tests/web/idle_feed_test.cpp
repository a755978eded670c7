// The page's feed on a device whose history store the add-on keeps open: the
// server's own reads of the store are no change, the add-on's rows are.
#include <gtest/gtest.h>

#include <thread>

#include "history/store.h"
#include "host/web/change_source.h"
#include "host/web/state_document.h"
#include "host/web/state_feed.h"
#include "tests/support/temp_device.h"

namespace px::host::web {
namespace {

bool record(history::HistoryWriter& writer, std::int64_t time, int level) {
  history::Sample s;
  s.time = time;
  s.level = level;
  s.max_capacity = 1500;
  s.amperage = -300;
  return writer.record(s, time).outcome == history::RecordOutcome::stored;
}

TEST(WebFeedTest, ReadingTheHistoryStoreIsNoChangeAndANewRowIs) {
  tests::support::TempDevice device;
  // As the add-on does: one connection kept open, each row appended to the log.
  history::HistoryWriter writer;
  const std::int64_t start = 1'800'000'000;
  ASSERT_TRUE(record(writer, start, 80));

  StateComposer composer;
  StateFeed feed([&composer] { return composer.compose(); });
  feed.start();
  auto changes = make_change_source();
  ASSERT_TRUE(changes->start(watched_device_folders(), [&feed](bool) { feed.mark_changed(); }));
  // One change seen, as a device has before it settles: the store is read once more.
  feed.mark_changed();

  // Each composition carries the device's time, so is a new generation: idle,
  // a few at most (the first, the server's one open of the store), not one per read.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  long long idle = feed.current().generation;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_LE(feed.current().generation, idle + 2) << "the feed composes again on its own reads";

  long long before = feed.current().generation;
  ASSERT_TRUE(record(writer, start + 60, 79));
  EXPECT_TRUE(feed.wait_newer(before, std::chrono::seconds(20))) << "a history row did not reach the feed";
  changes->stop();
  feed.stop();
}

}  // namespace
}  // namespace px::host::web
