// Property-list files: both formats read, XML that other tools read back, and
// every kind of broken file giving "no dictionary" without crashing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "tests/support/temp_device.h"

using namespace px::platform::foundation;

namespace {

Value sample_status() {
  return Value(Dictionary{
      {"AppleRawCurrentCapacity", 1500},
      {"Temperature", 3050},
      {"Serial", "C01234567890"},
      {"IsCharging", true},
      {"Voltage", 4.25},
      {"Negative", -42},
      {"AdapterDetails", Dictionary{{"Watts", 12}, {"Description", "pd charger \xC3\xA9"}}},
      {"BatteryData", Dictionary{{"QmaxCell0", 1620}, {"Flags", 0}}},
      {"Cells", Array{3990, 4001}},
      {"Blob", Data{{0, 1, 2, 255}}},
      {"When", Date{473000000.0}},
  });
}

std::string run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  pclose(p);
  return out;
}

class PropertyListFiles : public ::testing::Test {
 protected:
  px::tests::support::TempDevice device;
  std::string file = device.path("/User/Library/PylonexData.plist");
};

TEST_F(PropertyListFiles, XmlAndBinaryRoundTrip) {
  Value v = sample_status();
  for (auto format : {plist::Format::xml, plist::Format::binary}) {
    ASSERT_TRUE(plist::write_file(file, v, format));
    EXPECT_EQ(plist::read_dictionary(file), v);
  }
}

TEST_F(PropertyListFiles, XmlReadsBackInPlistlibAndPlistutil) {
  ASSERT_TRUE(writeToFile(sample_status(), px::platform::sim::DevicePath("/User/Library/PylonexData.plist")));
  std::string py =
      run("python3 -c \"import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); "
          "print(d['AppleRawCurrentCapacity'], d['Negative'], d['AdapterDetails']['Description'], "
          "d['Voltage'], d['IsCharging'])\" " +
          file);
  EXPECT_EQ(py, "1500 -42 pd charger \xC3\xA9 4.25 True\n");
  std::string bin = file + ".bin";
  run("plistutil -i " + file + " -o " + bin + " -f bin 2>/dev/null || plistutil -i " + file + " -o " + bin);
  EXPECT_EQ(plist::read_dictionary(bin), sample_status()) << "plistutil's conversion reads back equal";
}

// Other writers need not sort their keys (plistlib keeps insertion order);
// every key must still be found.
TEST_F(PropertyListFiles, KeysInTheWritersOwnOrderAreAllFound) {
  for (const char* fmt : {"FMT_XML", "FMT_BINARY"}) {
    run(std::string("python3 -c \"import plistlib,sys; d={'zeta': 1, 'Alpha': 2, 'mid': {'y': 3, 'b': 4}, 'alpha': 5}; "
                    "plistlib.dump(d, open(sys.argv[1],'wb'), fmt=plistlib.") +
        fmt + ", sort_keys=False)\" " + file);
    Value d = plist::read_dictionary(file);
    EXPECT_EQ(d, Value(Dictionary{{"Alpha", 2}, {"alpha", 5}, {"mid", Dictionary{{"b", 4}, {"y", 3}}}, {"zeta", 1}}))
        << fmt;
    EXPECT_EQ(d["mid"]["y"], Value(3)) << fmt;
  }
}

TEST_F(PropertyListFiles, DeviceUserPathIsTheMobileFolder) {
  ASSERT_TRUE(
      writeToFile(Value(Dictionary{{"k", 1}}), px::platform::sim::DevicePath("/User/Library/Preferences/x.plist")));
  EXPECT_EQ(dictionaryWithContentsOfFile(px::platform::sim::DevicePath("/var/mobile/Library/Preferences/x.plist"))["k"],
            Value(1));
}

TEST_F(PropertyListFiles, BrokenFilesGiveNoDictionary) {
  auto write_raw = [&](const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; };
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"empty", ""},
      {"garbage", "\x01\x02garbage\xff\xfe"},
      {"truncated xml", "<?xml version=\"1.0\"?><plist><dict><key>a</key><integer>1"},
      {"array root", "<plist><array><integer>1</integer></array></plist>"},
      {"string root", "<plist><string>x</string></plist>"},
      {"binary magic only", "bplist00"},
      {"binary with bad trailer", std::string("bplist00") + std::string(40, '\xff')},
  };
  std::string deep = "<plist>";
  for (int i = 0; i < 10000; ++i) deep += "<array>";
  cases.push_back({"10000 levels", deep});
  for (auto& c : cases) {
    write_raw(c.bytes);
    EXPECT_TRUE(plist::read_dictionary(file).is_nil()) << c.what;
  }
  // A truncated binary file of a real dictionary, at every length.
  auto bin = plist::serialize(sample_status(), plist::Format::binary);
  ASSERT_TRUE(bin);
  for (size_t n = 0; n < bin->size(); n += 7) {
    write_raw(bin->substr(0, n));
    EXPECT_TRUE(plist::read_dictionary(file).is_nil()) << "binary cut at " << n;
  }
}

TEST_F(PropertyListFiles, OversizedFolderAndMissingAreRefused) {
  EXPECT_EQ(plist::read_file(file).code(), Errc::missing);
  {
    std::ofstream out(file, std::ios::binary);
    out << "<plist><dict><key>a</key><string>";
    out << std::string(plist::max_file_bytes, 'x');
    out << "</string></dict></plist>";
  }
  EXPECT_EQ(plist::read_file(file).code(), Errc::too_large);
  std::remove(file.c_str());
  ASSERT_EQ(::mkdir(file.c_str(), 0755), 0);
  EXPECT_EQ(plist::read_file(file).code(), Errc::unreadable);
  EXPECT_FALSE(plist::write_file(file, sample_status(), plist::Format::xml)) << "a folder is not replaced";
}

TEST_F(PropertyListFiles, UnwritableValuesLeaveTheOldFile) {
  ASSERT_TRUE(plist::write_file(file, sample_status(), plist::Format::xml));
  Value bad(Dictionary{{"s", std::string("\xff\xfe invalid utf-8")}});
  EXPECT_FALSE(plist::write_file(file, bad, plist::Format::binary));
  EXPECT_FALSE(plist::write_file(file, Value(Dictionary{{"nil", Value()}}), plist::Format::xml));
  EXPECT_EQ(plist::read_dictionary(file), sample_status());
}

TEST_F(PropertyListFiles, KilledWriterNeverLeavesAPartialFile) {
  Value small(Dictionary{{"gen", 0}});
  ASSERT_TRUE(plist::write_file(file, small, plist::Format::xml));
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 1;; ++i) {
        Value v = sample_status();
        v.mutable_dictionary()["gen"] = i;
        plist::write_file(file, v, plist::Format::xml);
      }
    }
    usleep(1000 + rng() % 5000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    Value now = plist::read_dictionary(file);
    ASSERT_TRUE(now.is_dictionary()) << "round " << round;
    EXPECT_TRUE(now["gen"].is_number());
  }
}

}  // namespace
