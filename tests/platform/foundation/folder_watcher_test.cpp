// The folder watcher: what counts as a change, coalescing, the run loop as
// the only place reports come from, creation that can fail, and a followed
// path that outlives its folders.

#include "platform/foundation/folder_watcher.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/foundation/run_loop.h"
#include "tests/support/temp_device.h"

namespace px::platform::foundation {
namespace {

using Names = std::vector<std::string>;

class FolderWatcherTest : public ::testing::Test {
 protected:
  std::string folder() const { return device.path("/var/run/watched"); }
  std::unique_ptr<FolderWatcher> watch(const std::string& where, const FolderWatchOptions& options = {}) {
    auto watcher = FolderWatcher::create(
        where, [this](const Names& names) { reports.push_back(names); }, options);
    EXPECT_TRUE(watcher) << (watcher ? "" : watcher.message());
    return std::move(watcher).value_or(nullptr);
  }
  static void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

  tests::support::TempDevice device;
  std::vector<Names> reports;
};

TEST_F(FolderWatcherTest, MakesAMissingFolderAndReportsWritesAndRenamesOnTheRunLoop) {
  auto watcher = watch(folder());
  ASSERT_TRUE(std::filesystem::is_directory(folder()));
  write(folder() + "/b.plist", "1");
  write(folder() + "/b.plist", "2");  // twice before the loop turns: one name
  write(device.path("/tmp-entry"), "x");
  ASSERT_EQ(std::rename(device.path("/tmp-entry").c_str(), (folder() + "/a.plist").c_str()), 0);
  EXPECT_TRUE(reports.empty()) << "reported before the loop turned";
  RunLoop::main().run_until_idle();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], (Names{"a.plist", "b.plist"}));
  RunLoop::main().run_until_idle();
  EXPECT_EQ(reports.size(), 1u) << "reported twice";
}

TEST_F(FolderWatcherTest, DeletionsReadsAndSubfoldersAreNotChanges) {
  std::filesystem::create_directories(folder());
  write(folder() + "/kept", "x");
  auto watcher = watch(folder());
  std::ifstream(folder() + "/kept").get();
  std::filesystem::remove(folder() + "/kept");
  std::filesystem::create_directory(folder() + "/sub");
  write(folder() + "/sub/inner", "x");
  EXPECT_FALSE(watcher->drain());
  EXPECT_TRUE(reports.empty());
}

TEST_F(FolderWatcherTest, FailsWithAReasonWhenTheFolderCannotBeWatched) {
  write(device.path("/plain-file"), "x");
  auto watcher = FolderWatcher::create(device.path("/plain-file"), [](const Names&) {});
  ASSERT_FALSE(watcher);
  EXPECT_NE(watcher.message().find("plain-file"), std::string::npos) << watcher.message();
  EXPECT_FALSE(FolderWatcher::create(device.path("/plain-file/below"), [](const Names&) {}));
  EXPECT_EQ(FolderWatcher::create("relative/path", [](const Names&) {}).code(), foundation::Errc::invalid);
}

TEST_F(FolderWatcherTest, ADestroyedWatcherReportsNothingMore) {
  auto watcher = watch(folder());
  write(folder() + "/late", "x");
  watcher.reset();
  RunLoop::main().run_until_idle();
  EXPECT_TRUE(reports.empty());
}

TEST_F(FolderWatcherTest, DeletionsAndMovesOutAreChangesWhenAskedFor) {
  std::filesystem::create_directories(folder() + "/sub");
  write(folder() + "/gone", "x");
  write(folder() + "/moved", "x");
  auto watcher = watch(folder(), {.deletions = true});
  std::filesystem::remove(folder() + "/gone");
  std::filesystem::rename(folder() + "/moved", device.path("/moved-out"));
  std::filesystem::remove(folder() + "/sub");  // a sub-folder still is no change
  ASSERT_TRUE(watcher->drain());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], (Names{"gone", "moved"}));
}

TEST_F(FolderWatcherTest, AFollowedPathIsNotMadeAndIsWatchedOnceItExists) {
  const std::string deep = device.path("/var/later/deeper");
  auto watcher = watch(deep, {.follow_path = true});
  EXPECT_FALSE(std::filesystem::exists(device.path("/var/later"))) << "a followed path was made";
  EXPECT_FALSE(watcher->watching_folder());
  // Made with a file already in it before the watcher looks: that file is the change.
  std::filesystem::create_directories(deep);
  write(deep + "/early", "x");
  RunLoop::main().run_until_idle();
  EXPECT_TRUE(watcher->watching_folder());
  EXPECT_EQ(watcher->times_found_anew(), 1u);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], (Names{"early"}));
  write(deep + "/late", "x");
  RunLoop::main().run_until_idle();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1], (Names{"late"}));
}

TEST_F(FolderWatcherTest, AFollowedFolderWipedWithItsParentsIsWatchedWhenMadeAgain) {
  const std::string run = device.path("/var/run/hardware");
  std::filesystem::create_directories(run);
  auto watcher = watch(run, {.deletions = true, .follow_path = true});
  ASSERT_TRUE(watcher->watching_folder());
  write(run + "/before", "x");
  RunLoop::main().run_until_idle();
  reports.clear();
  // The whole device goes (the last file's deletion is the change), then is made again;
  // meanwhile the root and the folder are held open, as a process reading the device
  // holds its root: the kernel tells a held folder's removal only when it is let go.
  int held_root = ::open(device.root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  int held_folder = ::open(run.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::filesystem::remove_all(device.root());
  RunLoop::main().run_until_idle();
  EXPECT_FALSE(watcher->watching_folder());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], (Names{"before"}));
  std::filesystem::create_directories(device.root() + "/var");
  RunLoop::main().run_until_idle();  // one step down at a time, as the folders appear
  std::filesystem::create_directories(run);
  RunLoop::main().run_until_idle();
  EXPECT_TRUE(watcher->watching_folder());
  write(run + "/after", "x");
  RunLoop::main().run_until_idle();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1], (Names{"after"}));
  EXPECT_EQ(watcher->times_found_anew(), 1u);

  // Wiped and made again before the loop turns: the new folder's files are the change.
  std::filesystem::remove_all(device.root());
  std::filesystem::create_directories(run);
  write(run + "/quick", "x");
  RunLoop::main().run_until_idle();
  EXPECT_TRUE(watcher->watching_folder());
  EXPECT_EQ(watcher->times_found_anew(), 2u);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[2], (Names{"after", "quick"})) << "the deletion of the old one, the file of the new";
  write(run + "/later", "x");
  RunLoop::main().run_until_idle();
  ASSERT_EQ(reports.size(), 4u);
  EXPECT_EQ(reports[3], (Names{"later"}));
  ::close(held_root);
  ::close(held_folder);
}

TEST_F(FolderWatcherTest, AWatcherOnItsOwnLoopIsServedByThatLoopOnly) {
  RunLoop own;
  auto watcher = watch(folder(), {.loop = &own});
  write(folder() + "/a", "x");
  RunLoop::main().run_until_idle();
  EXPECT_TRUE(reports.empty()) << "served by the main loop";
  own.run_until_idle();
  ASSERT_EQ(reports.size(), 1u);
  watcher.reset();
  write(folder() + "/b", "x");
  own.run_until_idle();
  EXPECT_EQ(reports.size(), 1u) << "reported after its destruction";
}

}  // namespace
}  // namespace px::platform::foundation
