// The kernel's power-supply tree in broken forms: each attribute missing,
// empty, garbage, a folder, 10 MiB, out of range; the tree itself missing,
// a file, empty, looping. The reader skips what it cannot use and reports a
// missing battery clearly; it never crashes or waits.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "host/device/sysfs_battery.h"
#include "tests/support/scoped_temp_dir.h"

namespace {
namespace fs = std::filesystem;

class SysfsTree : public ::testing::Test {
 protected:
  void SetUp() override {
    bat = dir + "/BAT0";
    ac = dir + "/AC";
    fs::create_directories(bat);
    fs::create_directories(ac);
    for (auto& [name, value] : good) put(bat + "/" + name, value);
    put(ac + "/type", "Mains\n");
    put(ac + "/online", "1\n");
    put(ac + "/current_max", "2000000\n");
    put(ac + "/voltage_max", "5000000\n");
  }
  static void put(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
  px::platform::foundation::Result<px::host::device::BatterySample> read() {
    return px::host::device::read_sysfs_battery(dir, 1.7e9);
  }

  const std::vector<std::pair<std::string, std::string>> good = {{"type", "Battery\n"},
                                                                 {"present", "1\n"},
                                                                 {"status", "Charging\n"},
                                                                 {"capacity", "57\n"},
                                                                 {"charge_now", "2500000\n"},
                                                                 {"charge_full", "4400000\n"},
                                                                 {"charge_full_design", "5000000\n"},
                                                                 {"voltage_now", "12100000\n"},
                                                                 {"current_now", "1500000\n"},
                                                                 {"temp", "305\n"},
                                                                 {"cycle_count", "88\n"},
                                                                 {"serial_number", "SN123\n"},
                                                                 {"model_name", "Model\n"},
                                                                 {"manufacturer", "Maker\n"}};
  px::tests::support::ScopedTempDir folder{"pxsysfs"};
  std::string dir = folder.path();
  std::string bat, ac;
};

TEST_F(SysfsTree, EveryAttributeBrokenEveryWay) {
  ASSERT_TRUE(read());
  const std::vector<std::pair<const char*, std::string>> forms = {{"empty", ""},
                                                                  {"garbage", "\xFF\xFE garbage \x01\n"},
                                                                  {"words", "lots\n"},
                                                                  {"huge-number", "99999999999999999999999\n"},
                                                                  {"float", "1.5e3\n"},
                                                                  {"spaces", "   \n"},
                                                                  {"no-newline", "42"},
                                                                  {"nul", std::string("4\0 2", 4)},
                                                                  {"10MiB", std::string(10 * 1024 * 1024, '7')},
                                                                  {"negative", "-5\n"},
                                                                  {"crlf", "12\r\n"}};
  for (auto& [name, value] : good) {
    SCOPED_TRACE(name);
    std::string p = bat + "/" + name;
    for (auto& [form, bytes] : forms) {
      SCOPED_TRACE(form);
      put(p, bytes);
      auto s = read();
      if (s) {
        EXPECT_TRUE(s->level == -1 || (s->level >= 0 && s->level <= 1)) << s->level;
        EXPECT_TRUE(s->status.is_dictionary());
      }
    }
    fs::remove(p);
    (void)read();  // missing
    fs::create_directory(p);
    (void)read();  // a folder in its place
    fs::remove(p);
    put(p, value);
  }
  EXPECT_TRUE(read());
}

TEST_F(SysfsTree, BrokenTreesReportNoBattery) {
  fs::remove_all(dir);
  auto gone = read();
  ASSERT_FALSE(gone);
  EXPECT_NE(gone.message().find("no battery"), std::string::npos) << gone.message();
  put(dir, "a file, not a folder");
  EXPECT_FALSE(read());
  fs::remove(dir);
  fs::create_directory(dir);
  EXPECT_FALSE(read()) << "empty tree";
  put(dir + "/BAT0", "a file where the supply's folder goes");
  fs::create_symlink(".", dir + "/loop");
  fs::create_symlink("nowhere", dir + "/dangling");
  EXPECT_FALSE(read());
}

// Numbers at the edge of the range: the readings must not overflow (signed
// overflow is undefined behaviour and the sanitizers stop the process).
TEST_F(SysfsTree, ExtremeNumbersDoNotOverflow) {
  put(bat + "/current_now", "-9223372036854775808\n");
  put(bat + "/temp", "9223372036854775807\n");
  auto s = read();
  ASSERT_TRUE(s);
  const std::int64_t* amps = s->status["Amperage"].integer();
  ASSERT_TRUE(amps);
  EXPECT_GE(*amps, 0) << "a charging battery's current is not negative";
  const std::int64_t* temp = s->status["Temperature"].integer();
  if (temp) {
    EXPECT_GT(*temp, 0);
  }
}

}  // namespace
