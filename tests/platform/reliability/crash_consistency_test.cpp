// Writers killed with SIGKILL at random points: the battery data file
// (writeToFile, XML), the settings file (plist::write_file) and a defaults
// domain (NSUserDefaults::synchronize, binary). After every kill the file
// parses and holds the version before the interrupted write or the one it was
// writing; the next writer removes what the dead one left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "platform/foundation/file_io.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/user_defaults.h"
#include "platform/sim/atomic_write.h"
#include "shared/names.h"
#include "tests/support/long_runs.h"
#include "tests/support/temp_device.h"

namespace {
namespace fs = std::filesystem;
using px::platform::foundation::Data;
using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;

// Version n of a file: sizes vary, so a torn write cannot pass for another version.
Value version(long long n) {
  Data blob;
  blob.bytes.assign(static_cast<std::size_t>((n * 7919) % 6000), static_cast<std::uint8_t>(n));
  return Value(Dictionary{{"Generation", n},
                          {"Payload", std::string(static_cast<std::size_t>((n * 37) % 5000), 'a' + n % 26)},
                          {"Blob", blob}});
}

std::vector<std::string> temps_of(const std::string& file) {
  std::vector<std::string> out;
  fs::path p(file);
  std::string prefix = "." + p.filename().string() + ".tmp-";
  for (auto& e : fs::directory_iterator(p.parent_path()))
    if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path().filename().string());
  return out;
}

struct Figures {
  long kills = 0, rewrites = 0, old_content = 0, new_content = 0, temps_left_by_dead = 0;
};

// Runs `write(n)` for n = first, first+1, ... in a child, announcing each n on
// a pipe before writing it, and kills the child at a random point; repeats
// until `rewrites` writes were started. `read` gives the file's Generation
// (or -1 when it does not parse). With `durable` off the children skip the
// fsync calls: a killed process loses nothing the kernel already has, so the
// outcome is the same, and a thousand rewrites take a second instead of
// twenty on a busy disk.
Figures kill_writers(const std::string& file, long rewrites, bool durable, const std::function<void(long long)>& write,
                     const std::function<long long()>& read) {
  Figures f;
  std::mt19937 rng(20261208);
  long long last_done = 0;  // the version the file holds before the first run
  write(0);
  // How long one write takes here, so that kills land anywhere inside one.
  auto t0 = std::chrono::steady_clock::now();
  px::platform::sim::set_durable_writes(durable);
  for (int i = 0; i < 5; ++i) write(0);
  px::platform::sim::set_durable_writes(true);
  auto per_write = (std::chrono::steady_clock::now() - t0) / 5;
  int spin_max_us =
      static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(per_write).count() * 3 / 2) + 1;
  while (f.rewrites < rewrites) {
    int fds[2];
    if (::pipe(fds) != 0) ADD_FAILURE() << "pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      px::platform::sim::set_durable_writes(durable);
      for (long long n = last_done + 1;; ++n) {
        if (::write(fds[1], &n, sizeof n) != sizeof n) ::_exit(2);
        write(n);
      }
    }
    ::close(fds[1]);
    // Let it start a random number of writes, then kill it a random moment into the next.
    long long announced = last_done;
    int writes_before_kill = std::uniform_int_distribution<int>(1, 12)(rng);
    for (int i = 0; i < writes_before_kill; ++i)
      if (::read(fds[0], &announced, sizeof announced) != sizeof announced) break;
    // Sleeping, not spinning: on a loaded machine the writer needs the CPU.
    ::usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, spin_max_us)(rng)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    long long n;
    while (::read(fds[0], &n, sizeof n) == sizeof n) announced = n;
    ::close(fds[0]);
    ++f.kills;
    f.rewrites += announced - last_done;

    long long got = read();
    // The write of `announced` was started last: the file holds it or the one before.
    EXPECT_TRUE(got == announced || got == announced - 1)
        << "after kill " << f.kills << " the file holds " << got << ", writes " << announced - 1 << ".." << announced;
    got == announced ? ++f.new_content : ++f.old_content;
    if (!temps_of(file).empty()) ++f.temps_left_by_dead;
    last_done = got;
    // The next writer clears what the dead one left.
    write(last_done + 1000000);  // two real writes, whatever a writer skips when nothing changed
    write(last_done);
    EXPECT_TRUE(temps_of(file).empty()) << "a dead writer's temporary file outlived the next write";
  }
  return f;
}

long long generation(const Value& v) {
  const std::int64_t* g = v["Generation"].integer();
  return g ? *g : -1;
}

void report(const char* what, const Figures& f) {
  std::printf(
      "%s: %ld kills during %ld rewrites; old content %ld, new content %ld; temporary left by the dead writer %ld "
      "times, always removed by the next write\n",
      what, f.kills, f.rewrites, f.old_content, f.new_content, f.temps_left_by_dead);
}

class CrashConsistency : public ::testing::Test {
 protected:
  px::tests::support::TempDevice device;
};

TEST_F(CrashConsistency, BatteryDataFileThroughWriteToFile) {
  std::string file = device.path(px::shared::kBatteryDataFile);
  auto write = [](long long n) {
    px::platform::foundation::writeToFile(version(n), px::platform::sim::DevicePath(px::shared::kBatteryDataFile));
  };
  auto read = [&] {
    Value v = px::platform::foundation::dictionaryWithContentsOfFile(
        px::platform::sim::DevicePath(px::shared::kBatteryDataFile));
    EXPECT_TRUE(v == version(generation(v))) << "the whole of one version";
    return generation(v);
  };
  report("battery data file", kill_writers(file, px::tests::support::rounds(300, 3000), false, write, read));
  // And with the fsync calls, as the system writes: fewer, they are slow.
  report("battery data file, durable", kill_writers(file, px::tests::support::rounds(30, 300), true, write, read));
}

TEST_F(CrashConsistency, SettingsFileThroughPlistWriteFile) {
  std::string file = device.path(px::shared::kSettingsFile);
  auto f = kill_writers(
      file, px::tests::support::rounds(300, 3000), false,
      [&](long long n) {
        px::platform::foundation::plist::write_file(file, version(n), px::platform::foundation::plist::Format::xml);
      },
      [&] {
        Value v = px::platform::foundation::plist::read_dictionary(file);
        EXPECT_TRUE(v == version(generation(v)));
        return generation(v);
      });
  report("settings file", f);
}

TEST_F(CrashConsistency, DefaultsDomainThroughSynchronize) {
  std::string file = px::platform::foundation::NSUserDefaults("com.apple.Preferences").file().host();
  auto f = kill_writers(
      file, px::tests::support::rounds(300, 3000), false,
      [](long long n) {
        px::platform::foundation::NSUserDefaults d("com.apple.Preferences");
        Value v = version(n);
        for (auto& [k, item] : *v.dictionary()) d.setObject(item, k);
        d.synchronize();
      },
      [&] {
        Value v = px::platform::foundation::NSUserDefaults("com.apple.Preferences").dictionaryRepresentation();
        EXPECT_TRUE(v == version(generation(v)));
        return generation(v);
      });
  report("defaults domain", f);
}

TEST_F(CrashConsistency, StaleTemporariesAreRemovedLiveOnesKept) {
  std::string file = device.path(px::shared::kBatteryDataFile);
  std::string folder = fs::path(file).parent_path();
  auto touch = [](const std::string& p, std::time_t mtime) {
    std::ofstream(p) << "partial";
    timeval tv[2] = {{mtime, 0}, {mtime, 0}};
    ::utimes(p.c_str(), tv);
  };
  std::time_t now = std::time(nullptr);
  // A dead writer's (a pid that cannot exist), an old one of the former
  // naming, a live writer's (this process's parent), another file's.
  touch(folder + "/.PylonexData.plist.tmp-4194303-abcdef", now);
  touch(folder + "/.PylonexData.plist.tmp-Q1w2E3", now - px::platform::sim::kStaleTempSeconds - 5);
  std::string live = folder + "/.PylonexData.plist.tmp-" + std::to_string(::getppid()) + "-zzzzzz";
  touch(live, now);
  std::string other = folder + "/.Other.plist.tmp-4194303-abcdef";
  touch(other, now);
  ASSERT_TRUE(
      px::platform::foundation::writeToFile(version(1), px::platform::sim::DevicePath(px::shared::kBatteryDataFile)));
  EXPECT_EQ(temps_of(file), std::vector<std::string>{fs::path(live).filename().string()});
  EXPECT_TRUE(fs::exists(other)) << "only the same file's temporaries are touched";
  EXPECT_EQ(px::platform::foundation::dictionaryWithContentsOfFile(
                px::platform::sim::DevicePath(px::shared::kBatteryDataFile)),
            version(1));
}

TEST_F(CrashConsistency, FailedWriteLeavesOldFileAndNoTemporary) {
  std::string file = device.path(px::shared::kBatteryDataFile);
  ASSERT_TRUE(
      px::platform::foundation::writeToFile(version(3), px::platform::sim::DevicePath(px::shared::kBatteryDataFile)));
  // Unwritable values are refused before any file is made.
  EXPECT_FALSE(px::platform::foundation::writeToFile(Value(Dictionary{{"bad", std::string("\xFF")}}),
                                                     px::platform::sim::DevicePath(px::shared::kBatteryDataFile)));
  // A folder where the file should be: the rename fails, the temporary goes.
  std::string blocked = device.path("/User/Library/Blocked.plist");
  fs::create_directories(blocked + "/inside");
  EXPECT_FALSE(
      px::platform::foundation::writeToFile(version(1), px::platform::sim::DevicePath("/User/Library/Blocked.plist")));
  EXPECT_TRUE(temps_of(blocked).empty());
  EXPECT_EQ(px::platform::foundation::dictionaryWithContentsOfFile(
                px::platform::sim::DevicePath(px::shared::kBatteryDataFile)),
            version(3));
  EXPECT_TRUE(temps_of(file).empty());
}

}  // namespace
