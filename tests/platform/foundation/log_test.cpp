// NSLog writes one bounded line per call: no reply, status dictionary or file
// content can flood the device log.

#include "platform/foundation/log.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_device.h"

namespace {

std::string logged_text(const px::tests::support::TempDevice& device) {
  std::string all = device.read_text("/var/log/syslog");
  auto mark = all.find("<Notice>: ");
  EXPECT_NE(mark, std::string::npos);
  EXPECT_EQ(all.back(), '\n');
  EXPECT_EQ(all.find('\n'), all.size() - 1) << "one line per call";
  return all.substr(mark + 10, all.size() - mark - 11);
}

TEST(LogBound, TextWithinTheLimitIsWrittenWhole) {
  px::tests::support::TempDevice device;
  std::string text(px::platform::foundation::kLogTextLimit, 'a');
  NSLog("%@", px::platform::foundation::Value(text));
  EXPECT_EQ(logged_text(device), text);
}

TEST(LogBound, LongTextKeepsItsStartAndSaysHowLongItWas) {
  px::tests::support::TempDevice device;
  std::string reply(8 * 1024 * 1024, 'r');
  NSLog("Sent: %@", px::platform::foundation::Value(reply));
  std::string text = logged_text(device);
  std::string expected_start = "Sent: " + std::string(px::platform::foundation::kLogTextLimit - 6, 'r');
  EXPECT_EQ(text, expected_start + "\u2026 (" + std::to_string(reply.size() + 6) + " bytes)");
}

TEST(LogBound, CutNeverSplitsAUtf8Sequence) {
  // "é" is two bytes; with an odd lead the limit falls inside one of them.
  std::string text = "x" + std::string();
  for (std::size_t i = 0; i < px::platform::foundation::kLogTextLimit; ++i) text += "\xC3\xA9";
  std::string bounded = px::platform::foundation::bounded_log_text(text);
  std::string kept = bounded.substr(0, bounded.find("\u2026"));
  EXPECT_EQ(kept.size(), px::platform::foundation::kLogTextLimit - 1);
  EXPECT_EQ(kept.substr(0, 3), "x\xC3\xA9");
  EXPECT_EQ(kept.substr(kept.size() - 2), "\xC3\xA9");
}

}  // namespace
