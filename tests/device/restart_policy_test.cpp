#include "host/device/restart_policy.h"

#include <gtest/gtest.h>

namespace px::host::device {
namespace {

TEST(RestartPolicy, ThreeDeathsInTheWindowMeanSafeMode) {
  RestartPolicy p(3, 30);
  p.record_death(100);
  p.record_death(110);
  EXPECT_FALSE(p.safe_mode());
  p.record_death(129);
  EXPECT_TRUE(p.safe_mode());
}

TEST(RestartPolicy, DeathsSpreadOutDoNot) {
  RestartPolicy p(3, 30);
  for (double t : {0.0, 20.0, 40.0, 60.0, 80.0}) p.record_death(t);
  EXPECT_FALSE(p.safe_mode());
  EXPECT_EQ(p.deaths(), 5);
  EXPECT_EQ(p.restart_delay(), 0);
}

TEST(RestartPolicy, SafeModeLastsUntilRespring) {
  RestartPolicy p(3, 30);
  for (double t : {0.0, 1.0, 2.0}) p.record_death(t);
  ASSERT_TRUE(p.safe_mode());
  p.record_death(500);  // long after: still safe
  EXPECT_TRUE(p.safe_mode());
  p.respring();
  EXPECT_FALSE(p.safe_mode());
  // The deaths before the respring no longer count.
  p.record_death(501);
  p.record_death(502);
  EXPECT_FALSE(p.safe_mode());
}

TEST(RestartPolicy, CrashingInSafeModeSlowsRestartsDown) {
  RestartPolicy p(3, 30);
  for (double t : {0.0, 1.0, 2.0}) p.record_death(t);
  EXPECT_EQ(p.restart_delay(), 0);
  p.record_death(3);
  p.record_death(4);
  EXPECT_GT(p.restart_delay(), 0);
}

}  // namespace
}  // namespace px::host::device
