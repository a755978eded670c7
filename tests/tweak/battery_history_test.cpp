// The tweak keeps the battery history inside its broadcast handler: one sample
// per broadcast after the data file, nothing with keepHistory off, the store
// cleared on the bundle's notification, and a broken store costing nothing
// but one log line per kind of failure.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

#include "history/store.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_clock.h"
#include "shared/names.h"
#include "tests/tweak/tweak_harness.h"

namespace px::tweak {
namespace {
namespace fs = std::filesystem;
using platform::foundation::Dictionary;
using platform::foundation::Value;

class BatteryHistoryTest : public TweakTest {
 protected:
  std::string store() { return m_device.path(shared::kHistoryStoreFile); }
  std::vector<history::Sample> samples() {
    history::HistoryReader reader;
    if (!reader.open().ok()) return {};
    return reader.samples();
  }
  // A broadcast as SpringBoard makes it: the entry at `level`, its status with UpdateTime `time`.
  void broadcast_at(std::int64_t time, double level) {
    Dictionary status = default_status();
    status["UpdateTime"] = Value(static_cast<long long>(time));
    status["MaxCapacity"] = Value(1500);
    status["AppleRawCurrentCapacity"] = Value(static_cast<long long>(1500 * level));
    set_battery(level, Value(status));
  }
  // Times near the device clock: older samples would be thinned away as history.
  const std::int64_t kT = static_cast<std::int64_t>(platform::sim::device_now()) / 3600 * 3600;

  bool data_file_holds(std::int64_t time) {
    return platform::foundation::dictionaryWithContentsOfFile(platform::sim::DevicePath(
               shared::kBatteryDataFile))["UpdateTime"] == Value(static_cast<long long>(time));
  }
};

TEST_F(BatteryHistoryTest, EachBroadcastAddsOneSampleWithTheDeviceLevel) {
  start();
  broadcast_at(kT, 0.42);
  broadcast_at(kT + 120, 0.41);
  std::vector<history::Sample> s = samples();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].time, kT);
  EXPECT_EQ(s[0].level, 42);
  EXPECT_EQ(s[0].raw_capacity, 630);
  EXPECT_EQ(s[0].watts, 5.0);
  EXPECT_FALSE(s[0].external) << "absent from the status: absent in the store";
  EXPECT_EQ(s[1].level, 41);
}

TEST_F(BatteryHistoryTest, KeepHistoryOffWritesNoStoreAndStaysOutOfTheSettingsLine) {
  write_settings({{"keepHistory", Value(false)}});
  start();
  broadcast_at(kT, 0.5);
  EXPECT_TRUE(data_file_holds(kT));
  EXPECT_FALSE(fs::exists(store()));
  for (const std::string& line : log_lines_containing("PylonexPro2 Settings"))
    EXPECT_EQ(line.find("History"), std::string::npos) << line;
  // Switched on again by the settings notification.
  write_settings({{"keepHistory", Value(true)}});
  reload_settings();
  broadcast_at(kT + 100, 0.49);
  ASSERT_FALSE(samples().empty());
  EXPECT_EQ(samples().back().time, kT + 100);
}

TEST_F(BatteryHistoryTest, ClearHistoryNotificationEmptiesTheStore) {
  start();
  broadcast_at(kT, 0.5);
  broadcast_at(kT + 100, 0.4);
  ASSERT_EQ(samples().size(), 2u);
  // SpringBoard's own watcher hands the last entry over again; let it, before clearing.
  platform::foundation::RunLoop::main().run_until_idle();
  platform::foundation::CFNotificationCenterPostNotification(
      platform::foundation::CFNotificationCenterGetDarwinNotifyCenter(), shared::kClearHistoryNotification, nullptr,
      Value(), true);
  platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_TRUE(samples().empty());
  EXPECT_EQ(log_lines_containing("battery history cleared").size(), 1u);
  broadcast_at(kT + 200, 0.3);
  EXPECT_EQ(samples().size(), 1u) << "history starts again at the next broadcast";
}

TEST_F(BatteryHistoryTest, LockedStoreLogsOnceAndTheDataFileIsStillWritten) {
  start();
  broadcast_at(kT, 0.5);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(store().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM store_state;", nullptr, nullptr, nullptr), SQLITE_OK);
  for (int i = 1; i <= 5; ++i) {
    broadcast_at(kT + 100 * i, 0.5 - i * 0.01);
    EXPECT_TRUE(data_file_holds(kT + 100 * i)) << "broadcast " << i;
  }
  EXPECT_EQ(log_lines_containing("battery history busy").size(), 1u) << "one line, not one per broadcast";
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  broadcast_at(kT + 1000, 0.3);
  EXPECT_EQ(samples().size(), 2u);
}

TEST_F(BatteryHistoryTest, DataFileThatCannotBeWrittenIsLoggedOnceAndTheHistoryGoesOn) {
  fs::create_directories(m_device.path(shared::kBatteryDataFile) + "/in-the-way");
  start();
  for (int i = 0; i < 3; ++i) broadcast_at(kT + 100 * i, 0.5 - i * 0.01);
  EXPECT_EQ(log_lines_containing("battery data file not written").size(), 1u) << "once per run";
  EXPECT_EQ(samples().size(), 3u);
}

TEST_F(BatteryHistoryTest, CorruptStoreIsKeptAsideAndANewOneStarted) {
  std::ofstream(store()) << std::string(4096, '\x7f');
  start();
  broadcast_at(kT, 0.5);
  EXPECT_TRUE(data_file_holds(kT));
  int kept_aside = 0;
  for (auto& e : fs::directory_iterator(fs::path(store()).parent_path()))
    kept_aside += e.path().filename().string().rfind("PylonexHistory.sqlite.corrupt-", 0) == 0;
  EXPECT_EQ(kept_aside, 1);
  EXPECT_EQ(samples().size(), 1u);
  EXPECT_EQ(log_lines_containing("kept aside as").size(), 1u);
}

TEST_F(BatteryHistoryTest, StoreThatCannotBeMadeCostsOneLine) {
  // The store's folder replaced by a file: nothing can be made there.
  fs::path folder = fs::path(store()).parent_path();
  fs::rename(folder, folder.string() + ".moved");
  std::ofstream(folder) << "not a folder";
  start();
  for (int i = 0; i < 3; ++i) broadcast_at(kT + 100 * i, 0.5);
  EXPECT_EQ(log_lines_containing("PylonexPro2 : battery history").size(), 1u);
  fs::remove(folder);
  fs::rename(folder.string() + ".moved", folder);
}

}  // namespace
}  // namespace px::tweak
