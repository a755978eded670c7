// Timers on the main loop under a manual clock, as the panes' delayed work
// and SpringBoard's minute refresh use them.
#include <gtest/gtest.h>

#include "platform/foundation/run_loop.h"
#include "tests/support/temp_device.h"

using namespace px::platform::foundation;

TEST(RunLoopTimers, FireInDueOrderOnlyWhenTheClockReachesThem) {
  px::tests::support::TempDevice device;
  auto clock = std::make_shared<ManualClock>();
  RunLoop& loop = RunLoop::main();
  loop.set_clock(clock);
  std::vector<int> fired;
  dispatch_after_ns(300000011, [&] { fired.push_back(2); });
  dispatch_after_ns(100, [&] { fired.push_back(1); });
  loop.run_until_idle();
  EXPECT_TRUE(fired.empty());
  clock->advance_ns(300000010);
  loop.run_until_idle();
  EXPECT_EQ(fired, std::vector<int>{1});
  clock->advance_ns(1);
  loop.run_until_idle();
  EXPECT_EQ(fired, (std::vector<int>{1, 2}));
}

TEST(RunLoopTimers, RepeatingTimerRunsOncePerPeriodAndCancels) {
  px::tests::support::TempDevice device;
  auto clock = std::make_shared<ManualClock>();
  RunLoop& loop = RunLoop::main();
  loop.set_clock(clock);
  int ticks = 0;
  auto id = loop.add_timer(
      60'000'000'000LL, [&] { ++ticks; }, 60'000'000'000LL);
  for (int minute = 0; minute < 3; ++minute) {
    clock->advance_ns(60'000'000'000LL);
    loop.run_until_idle();
  }
  EXPECT_EQ(ticks, 3);
  loop.cancel_timer(id);
  clock->advance_ns(600'000'000'000LL);
  loop.run_until_idle();
  EXPECT_EQ(ticks, 3);
}
