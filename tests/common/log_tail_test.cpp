// The last lines of a growing log: cut windows must never show a piece of a
// line, lines longer than a window must still come whole, and a short file
// is all there is.
#include "host/common/log_tail.h"

#include <gtest/gtest.h>

#include "tests/support/temp_device.h"

namespace px::host::common {
namespace {

using Lines = std::vector<std::string>;

TEST(LastLines, CountsFromTheEndWithOrWithoutAFinalLineFeed) {
  EXPECT_EQ(last_lines("a\nb\nc\n", 2), (Lines{"b", "c"}));
  EXPECT_EQ(last_lines("a\nb\nc", 2), (Lines{"b", "c"})) << "an unended last line is a line";
  EXPECT_EQ(last_lines("a\nb\n", 5), (Lines{"a", "b"}));
  EXPECT_EQ(last_lines("a\n\nb\n", 2), (Lines{"", "b"})) << "an empty line is a line";
  EXPECT_EQ(last_lines("", 3), Lines{});
  EXPECT_EQ(last_lines("a\n", 0), Lines{});
}

class LastLogLines : public ::testing::Test {
 protected:
  static std::string numbered(int count, std::size_t width) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      std::string line = std::to_string(i);
      text += line + std::string(width > line.size() ? width - line.size() : 0, '.') + "\n";
    }
    return text;
  }
  tests::support::TempDevice device;
  const std::string log = "/var/log/syslog";
};

TEST_F(LastLogLines, ALongLogGivesItsLastLinesWhole) {
  // 40 000 lines of 99 bytes: the first window cuts a line in the middle.
  device.write_text(log, numbered(40000, 99));
  Lines lines = last_log_lines(log, 200);
  ASSERT_EQ(lines.size(), 200u);
  EXPECT_EQ(lines.front(), "39800" + std::string(94, '.'));
  EXPECT_EQ(lines.back(), "39999" + std::string(94, '.'));
  EXPECT_EQ(last_log_text(log, 1), "39999" + std::string(94, '.') + "\n");
}

TEST_F(LastLogLines, LinesLongerThanAWindowStillComeWhole) {
  device.write_text(log, numbered(5, 50000));
  Lines lines = last_log_lines(log, 3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 2), "2.");
  for (auto& line : lines) EXPECT_EQ(line.size(), 50000u);
}

TEST_F(LastLogLines, AWindowStartingAtALineGivesThatLine) {
  // The file is one window and one byte: the byte before the window is a line feed.
  std::string first = std::string(99, 'x') + "\n";
  std::string rest = numbered(655, 99) + std::string(64 * 1024 - 655 * 100 - 1, 'y') + "\n";
  ASSERT_EQ(rest.size(), 64u * 1024);
  device.write_text(log, first.substr(99) + rest);
  Lines lines = last_log_lines(log, 656);
  ASSERT_EQ(lines.size(), 656u);
  EXPECT_EQ(lines.front(), "0" + std::string(98, '.'));
}

TEST_F(LastLogLines, AShortOrMissingLogIsAllThereIs) {
  device.write_text(log, "one\ntwo\n");
  EXPECT_EQ(last_log_lines(log, 10), (Lines{"one", "two"}));
  EXPECT_EQ(last_log_lines(log, 0), Lines{});
  EXPECT_EQ(last_log_lines("/var/log/none", 10), Lines{});
  EXPECT_EQ(last_log_text("/var/log/none", 10), "");
}

}  // namespace
}  // namespace px::host::common
