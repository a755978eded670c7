// Keeping a damaged file aside: the stamped name, collisions, links moved as
// links, and nothing moved (nor reported) for an absent file.

#include "platform/sim/keep_aside.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "tests/support/temp_device.h"

namespace {

constexpr double k2015March7At2105Utc = 1425762300.75;
constexpr const char* kStore = "/var/mobile/Library/store.db";

class KeepAside : public ::testing::Test {
 protected:
  void SetUp() override { px::platform::sim::set_device_now(k2015March7At2105Utc); }
  px::tests::support::TempDevice device;
};

TEST_F(KeepAside, StampIsUtcWholeSeconds) {
  EXPECT_EQ(px::platform::sim::aside_stamp(k2015March7At2105Utc), "20150307T210500Z");
  EXPECT_EQ(px::platform::sim::aside_stamp(0), "19700101T000000Z");
}

TEST_F(KeepAside, CollisionsCountOnAndNothingIsReplaced) {
  const std::string base = std::string(kStore) + ".corrupt-20150307T210500Z";
  for (const char* content : {"first", "second", "third"}) {
    device.write_text(kStore, content);
    ASSERT_TRUE(px::platform::sim::keep_aside(px::platform::sim::DevicePath(kStore), "corrupt").moved);
  }
  EXPECT_EQ(device.read_text(base), "first");
  EXPECT_EQ(device.read_text(base + "-2"), "second");
  EXPECT_EQ(device.read_text(base + "-3"), "third");
  EXPECT_FALSE(device.exists(kStore));
}

TEST_F(KeepAside, ReturnsTheDevicePathTheFileNowHas) {
  device.write_text(kStore, "x");
  // Through the /User link the file keeps the path it was asked by.
  auto aside = px::platform::sim::keep_aside(px::platform::sim::DevicePath("/User/Library/store.db"), "corrupt");
  ASSERT_TRUE(aside.moved);
  EXPECT_EQ(aside.moved->str(), "/User/Library/store.db.corrupt-20150307T210500Z");
  EXPECT_EQ(device.read_text(aside.moved->str()), "x");
  EXPECT_EQ(aside.report, "/User/Library/store.db is corrupt: kept aside as " + aside.moved->str());
}

TEST_F(KeepAside, LinkLeadingOutOfTheRootMovesAsALink) {
  px::tests::support::TempDevice other;  // stands for any folder outside the device
  std::string outside = other.root() + "/outside.txt";
  { std::ofstream(outside) << "outside"; }
  px::platform::sim::set_device_root(device.root());
  px::platform::sim::set_device_now(k2015March7At2105Utc);
  std::filesystem::create_symlink(outside, device.path(kStore));
  auto moved = px::platform::sim::keep_aside(px::platform::sim::DevicePath(kStore), "corrupt").moved;
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->str(), std::string(kStore) + ".corrupt-20150307T210500Z");
  EXPECT_TRUE(std::filesystem::is_symlink(device.path("/var/mobile/Library") + "/store.db.corrupt-20150307T210500Z"));
  EXPECT_TRUE(std::filesystem::exists(outside));
}

TEST_F(KeepAside, CompanionsMoveAlongUnderOneFreeNameAtTheGivenTime) {
  static constexpr const char* kSuffixes[] = {"-wal", "-shm", "-journal"};
  const std::string base = std::string(kStore) + ".corrupt-20260101T000005Z";
  device.write_text(base + "-wal", "an older set's log");  // the first name is taken for one companion
  device.write_text(kStore, "db");
  device.write_text(std::string(kStore) + "-wal", "wal");
  device.write_text(std::string(kStore) + "-shm", "shm");
  px::platform::sim::AsideOptions options;
  options.companions = kSuffixes;
  options.at = 1767225605;  // not the device clock
  auto moved = px::platform::sim::keep_aside(px::platform::sim::DevicePath(kStore), "corrupt", options).moved;
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->str(), base + "-2");
  EXPECT_EQ(device.read_text(base + "-2"), "db");
  EXPECT_EQ(device.read_text(base + "-2-wal"), "wal");
  EXPECT_EQ(device.read_text(base + "-2-shm"), "shm");
  EXPECT_FALSE(device.exists(base + "-2-journal"));
  EXPECT_EQ(device.read_text(base + "-wal"), "an older set's log") << "nothing replaced";
  EXPECT_FALSE(device.exists(std::string(kStore) + "-wal"));
  EXPECT_FALSE(device.exists(base));
}

TEST_F(KeepAside, AbsentFileMovesNothingAndReportsNothing) {
  for (const char* absent : {kStore, "/var/mobile/NoSuchFolder/store.db"}) {
    auto aside = px::platform::sim::keep_aside(px::platform::sim::DevicePath(absent), "corrupt");
    EXPECT_FALSE(aside.moved);
    EXPECT_EQ(aside.report, "");
  }
}

}  // namespace
