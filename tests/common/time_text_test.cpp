// The one reading of a typed time: every form, the device's time zone, the
// dates the device can hold, and what is not a time.

#include "host/common/time_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <string>

namespace px::host::common {
namespace {

// Runs a test in a fixed zone (a POSIX rule, so no zone database is needed).
class InZone : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) m_saved = tz;
    ::setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);  // New York's rules: UTC-5, UTC-4 in summer
    ::tzset();
  }
  void TearDown() override {
    if (m_saved)
      ::setenv("TZ", m_saved->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  static double seconds(const std::string& text, double now = 0) {
    auto t = parse_device_time(text, now);
    EXPECT_TRUE(t) << text << ": " << t.message();
    return t.value_or(-1);
  }
  std::optional<std::string> m_saved;
};

TEST_F(InZone, ZonelessFormsAreTheDevicesLocalTime) {
  // 2026-01-02 03:04:05 EST is 08:04:05Z.
  EXPECT_EQ(seconds("2026-01-02 03:04:05"), 1767341045.0);
  EXPECT_EQ(seconds("2026-01-02T03:04:05"), 1767341045.0);
  EXPECT_EQ(seconds("2026-01-02 03:04"), 1767341040.0);
  EXPECT_EQ(seconds("2026-01-02 3:04"), 1767341040.0);
  // Summer time: 2015-07-01 12:00 EDT is 16:00Z.
  EXPECT_EQ(seconds("2015-07-01 12:00"), 1435766400.0);
  // HH:MM is that time on the day `now` falls on, in the device's zone
  // (02:00Z on Jan 3 is still Jan 2 in New York).
  EXPECT_EQ(seconds("03:04", 1767405600.0), 1767341040.0);
  EXPECT_EQ(seconds("3:04", 1767405600.0), 1767341040.0);
}

TEST_F(InZone, IsoTimesWithAZoneAreThatZonesTime) {
  EXPECT_EQ(seconds("2015-03-08T07:30:00Z"), 1425799800.0);
  EXPECT_EQ(seconds("2015-03-08T07:30Z"), 1425799800.0);
  EXPECT_EQ(seconds("2015-03-08T08:30:00+01:00"), 1425799800.0);
  EXPECT_EQ(seconds("2015-03-08T02:00:00-05:30"), 1425799800.0);
  // What the device prints in UTC reads back to the same instant.
  std::time_t t = 1700000000;
  std::tm utc{};
  gmtime_r(&t, &utc);
  char printed[32];
  std::strftime(printed, sizeof printed, "%Y-%m-%dT%H:%M:%SZ", &utc);
  EXPECT_EQ(seconds(printed), 1700000000.0);
}

TEST_F(InZone, UnixSecondsAreTakenAsTheyAre) {
  EXPECT_EQ(seconds("1700000000"), 1700000000.0);
  EXPECT_EQ(seconds("1700000000.25"), 1700000000.25);
  EXPECT_EQ(seconds("0"), 0.0);
  EXPECT_EQ(seconds("-1000000000"), -1000000000.0);  // 1938
}

TEST_F(InZone, OnlyTheDatesTheDeviceCanHold) {
  EXPECT_EQ(seconds("1932-12-13T20:45:53Z"), kEarliestDeviceTime);
  EXPECT_EQ(seconds("2069-01-19T03:14:06Z"), kLatestDeviceTime);
  for (const char* outside : {"1932-12-13T20:45:52Z", "2069-01-19T03:14:07Z", "1900-01-01 00:00", "2100-06-01 12:00",
                              "9999999999", "-2000000000", "1931-01-01T00:00:00Z"}) {
    auto t = parse_device_time(outside, 0);
    ASSERT_FALSE(t) << outside;
    EXPECT_NE(t.message().find("outside the dates the device can hold"), std::string::npos)
        << outside << ": " << t.message();
  }
}

TEST_F(InZone, WhatIsNotATimeIsRefusedSayingTheForms) {
  for (const char* bad : {"",
                          "noon",
                          "25:00",
                          "12:60",
                          "12:00x",
                          "2026-13-01 00:00",
                          "2026-02-30 00:00",
                          "2026-00-10 00:00",
                          "2026-01-02 24:00",
                          "2026-01-02 10:00:60",
                          "2026-01-02T10:00+5",
                          "2026-01-02T10:00+25:00",
                          "2026-01-02 10:00Z",
                          "2026-1-2 10:00",
                          "1700000000.",
                          ".5",
                          "1e9",
                          "--help",
                          "12:00 ",
                          " 12:00",
                          "2026-01-02T10:00:00ZZ"}) {
    auto t = parse_device_time(bad, 0);
    ASSERT_FALSE(t) << '"' << bad << '"';
    EXPECT_NE(t.message().find("cannot read the time"), std::string::npos) << bad;
    EXPECT_NE(t.message().find("Unix seconds"), std::string::npos) << bad;
  }
  EXPECT_EQ(seconds("2024-02-29 12:00"), 1709226000.0);  // a leap day exists
}

}  // namespace
}  // namespace px::host::common
