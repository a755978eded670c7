// The battery history across SpringBoard being killed: the real SpringBoard
// of a simulated device, with the tweak recording every broadcast of a
// battery that ages fast (thinning passes run inside broadcasts too), gets
// SIGKILL at random moments, by its recorded pid. After every kill the store
// passes integrity_check, holds only whole samples, and still holds every
// sample committed before the kill.
//
// A dozen kills by default, 400 in the long mode (PX_LONG_RUNS=1).

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "platform/system/device_process.h"
#include "shared/names.h"
#include "tests/cli/installed_device.h"
#include "tests/cli/simdevice_runner.h"
#include "tests/support/long_runs.h"
#include "tests/support/temp_device.h"

namespace {

using px::tests::support::simdevice;

// The supervisor starts SpringBoard in safe mode (no tweaks) after three
// deaths within 30 s; a respring after every second kill keeps the tweak in.
constexpr int kKillsBetweenResprings = 2;

// What the store holds, read through its own read-only connection.
struct StoreState {
  std::string integrity;  // integrity_check's first line
  long long samples = 0;
  long long half_samples = 0;  // rows missing a reading every broadcast of this battery has
  long long newest = -1;       // the newest sample's time
};

StoreState read_store(const std::string& file) {
  StoreState state;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    state.integrity = sqlite3_errmsg(db);
    sqlite3_close(db);
    return state;
  }
  sqlite3_busy_timeout(db, 2000);
  auto first_text = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    std::string out = "no answer";
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    else
      out = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    return out;
  };
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  state.integrity = first_text("PRAGMA integrity_check");
  state.samples = std::atoll(first_text("SELECT count(*) FROM samples").c_str());
  // The simulated battery's every status has these; watts only on the charger.
  state.half_samples = std::atoll(
      first_text("SELECT count(*) FROM samples WHERE level IS NULL OR charging IS NULL OR external IS NULL"
                 " OR full IS NULL OR raw_capacity IS NULL OR max_capacity IS NULL OR design_capacity IS NULL"
                 " OR cycles IS NULL OR temperature IS NULL OR voltage IS NULL OR amperage IS NULL")
          .c_str());
  state.newest = std::atoll(first_text("SELECT ifnull(max(time), -1) FROM samples").c_str());
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return state;
}

class HistoryKills : public px::tests::support::InstalledDevice {
 protected:
  // The running SpringBoard other than `not_this`, once it has stored a
  // sample newer than `after`: a SpringBoard that is up and recording.
  std::optional<pid_t> recording_springboard(std::optional<pid_t> not_this, long long after, StoreState& seen) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      std::optional<pid_t> pid = px::platform::system::DeviceProcess("SpringBoard").running();
      if (pid && pid != not_this) {
        seen = read_store(store);
        if (seen.newest > after) return pid;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
  }

  std::string store = device.path(px::shared::kHistoryStoreFile);
};

TEST_F(HistoryKills, StoreStaysWholeWhateverMomentSpringBoardIsKilledAt) {
  // About 50 broadcasts a real second, each a stored sample. The device clock
  // runs eleven days a second, so once samples are 30 days old (after three
  // seconds) a thinning pass runs inside a broadcast a dozen times a second.
  auto r =
      simdevice(device.root(), {"boot", "--battery", "sim:cycle=20-90,rate=-30/min,speed=1000000,wear=0.02%/cycle"});
  ASSERT_EQ(r.status, 0) << r.output;
  const int kills = static_cast<int>(px::tests::support::rounds(12, 400));
  std::mt19937 rng(20261208);
  std::optional<pid_t> killed;
  long long newest_before = -1;
  long long resprings = 0, samples_seen = 0;
  for (int kill = 1; kill <= kills; ++kill) {
    StoreState before;
    std::optional<pid_t> pid = recording_springboard(killed, newest_before, before);
    ASSERT_TRUE(pid) << "no SpringBoard recording again after kill " << kill - 1;
    // Broadcasts come every 20 ms or so: a moment anywhere among the next few.
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60000)(rng)));
    newest_before = before.newest;
    // Signalled by its recorded pid, checked to be this device's process.
    ASSERT_TRUE(px::platform::system::DeviceProcess::belongs_to_device(*pid));
    ASSERT_EQ(::kill(*pid, SIGKILL), 0);
    killed = pid;

    StoreState after = read_store(store);
    EXPECT_EQ(after.integrity, "ok") << "after kill " << kill;
    EXPECT_EQ(after.half_samples, 0) << "after kill " << kill;
    EXPECT_GE(after.newest, newest_before) << "a sample committed before kill " << kill << " was lost";
    samples_seen = std::max(samples_seen, after.samples);
    if (::testing::Test::HasFailure()) break;
    if (kill % kKillsBetweenResprings == 0 && kill < kills) {
      // The killed one must be gone and its successor up before the respring.
      StoreState ignored;
      ASSERT_TRUE(recording_springboard(killed, newest_before, ignored)) << "after kill " << kill;
      auto respring = simdevice(device.root(), {"respring"});
      ASSERT_EQ(respring.status, 0) << respring.output;
      ++resprings;
      killed.reset();  // the respring's SpringBoard is the next to be killed
      newest_before = read_store(store).newest;
    }
  }
  auto status = simdevice(device.root(), {"status"});
  EXPECT_EQ(status.output.find("SAFE MODE"), std::string::npos) << status.output;
  std::printf("history store: %d kills of SpringBoard (%lld resprings between), up to %lld samples, every check ok\n",
              kills, resprings, samples_seen);
}

}  // namespace
