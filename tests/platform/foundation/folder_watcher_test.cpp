// The folder watcher: what counts as a change, coalescing, the run loop as
// the only place reports come from, and creation that can fail.

#include "platform/foundation/folder_watcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/foundation/run_loop.h"
#include "tests/support/temp_device.h"

namespace foundation {
namespace {

using Names = std::vector<std::string>;

class FolderWatcherTest : public ::testing::Test {
 protected:
  std::string folder() const { return device.path("/var/run/watched"); }
  std::unique_ptr<FolderWatcher> watch(const std::string& where) {
    std::string error;
    auto watcher = FolderWatcher::create(
        where, [this](const Names& names) { reports.push_back(names); }, &error);
    EXPECT_TRUE(watcher) << error;
    return watcher;
  }
  static void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

  testing_support::TempDevice device;
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
  std::string error;
  auto watcher = FolderWatcher::create(
      device.path("/plain-file"), [](const Names&) {}, &error);
  EXPECT_FALSE(watcher);
  EXPECT_NE(error.find("plain-file"), std::string::npos) << error;
  EXPECT_FALSE(FolderWatcher::create(
      device.path("/plain-file/below"), [](const Names&) {}, nullptr));
}

TEST_F(FolderWatcherTest, ADestroyedWatcherReportsNothingMore) {
  auto watcher = watch(folder());
  write(folder() + "/late", "x");
  watcher.reset();
  RunLoop::main().run_until_idle();
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace foundation
