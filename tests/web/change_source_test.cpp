// The server's change source on a real device root: files written into the
// watched folders, the device wiped and made again under it (as `init
// --fresh` does), and a stop that comes before anything happened.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "host/common/device_layout.h"
#include "host/web/change_source.h"
#include "tests/support/temp_device.h"

namespace px::host::web {
namespace {

namespace fs = std::filesystem;
// Long enough for a loaded machine; the waits end as soon as the change arrives.
constexpr auto kPatience = std::chrono::seconds(20);

class ChangeSourceTest : public ::testing::Test {
 protected:
  void start() {
    ASSERT_TRUE(source->start(watched_device_folders(), [this](bool remade) {
      std::lock_guard lock(mutex);
      ++changes;
      remakes += remade ? 1 : 0;
      arrived.notify_all();
    }));
  }
  // Waits for a change after the `seen`th; false when none came.
  bool wait_past(int seen) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, kPatience, [&] { return changes > seen; });
  }
  int change_count() {
    std::lock_guard lock(mutex);
    return changes;
  }
  void write(const std::string& device_file) { std::ofstream(device.path(device_file)) << "1"; }

  tests::support::TempDevice device;
  std::unique_ptr<ChangeSource> source = make_change_source();
  std::mutex mutex;
  std::condition_variable arrived;
  int changes = 0, remakes = 0;
};

TEST_F(ChangeSourceTest, SeesWritesAndDeletionsInTheWatchedFolders) {
  start();
  write("/var/run/hardware/battery.plist");
  ASSERT_TRUE(wait_past(0));
  int seen = change_count();
  fs::remove(device.path("/var/run/hardware/battery.plist"));
  ASSERT_TRUE(wait_past(seen)) << "a deletion went unseen";
}

TEST_F(ChangeSourceTest, KeepsSeeingChangesAfterTheDeviceIsWipedAndMadeAgain) {
  start();
  fs::remove_all(device.root());
  ASSERT_TRUE(common::make_device_layout(device.root()));
  fs::create_directories(device.path("/var/run/hardware"));
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, kPatience, [&] { return remakes > 0; })) << "the remade folders went unseen";
  }
  // Every followed folder is armed again: a write in each is seen.
  for (const char* file :
       {"/var/run/hardware/battery.plist", "/var/log/syslog", "/var/mobile/Library/Preferences/x.plist"}) {
    // The re-arming may still be reporting; settle before counting.
    int seen = change_count();
    write(file);
    ASSERT_TRUE(wait_past(seen)) << file << " went unseen after the device was made again";
  }
}

TEST_F(ChangeSourceTest, StopsAtOnceAndTwice) {
  start();
  source->stop();
  source->stop();
  write("/var/run/hardware/battery.plist");
  EXPECT_EQ(change_count(), 0);
}

}  // namespace
}  // namespace px::host::web
