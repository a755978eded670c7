// The device clock with an offset and a rate, on a manual machine clock.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>

#include "platform/foundation/darwin_notify.h"
#include "platform/sim/device_clock.h"
#include "tests/support/temp_device.h"

namespace {

namespace sim = px::platform::sim;
namespace darwin = px::platform::foundation::darwin;

class DeviceClockRate : public ::testing::Test {
 protected:
  DeviceClockRate() {
    sim::set_machine_clock_for_testing([this] { return m_machine; });
  }
  ~DeviceClockRate() override { sim::set_machine_clock_for_testing(nullptr); }
  px::tests::support::TempDevice m_device;
  double m_machine = 1'000'000;
};

TEST_F(DeviceClockRate, RunsFastFromThePresentKeepsItsRateWhenSetAndIsReadBackFromTheFile) {
  EXPECT_EQ(sim::device_clock_rate(), 1);
  sim::set_device_now(5000);
  m_machine += 10;
  sim::set_device_clock_rate(100);
  EXPECT_DOUBLE_EQ(sim::device_now(), 5010);
  m_machine += 2;
  EXPECT_DOUBLE_EQ(sim::device_now(), 5210);
  sim::set_device_now(9000);  // `clock` moves the time, not the pace
  m_machine += 1;
  EXPECT_DOUBLE_EQ(sim::device_now(), 9100);
  sim::set_device_clock_rate(0);  // ignored
  sim::set_device_clock_rate(-2);
  EXPECT_EQ(sim::device_clock_rate(), 100);
  sim::set_device_clock_rate(60);
  m_machine += 3;
  double here = sim::device_now();
  sim::reload_device_clock();  // as a process started now would
  EXPECT_DOUBLE_EQ(sim::device_now(), here);
  EXPECT_EQ(sim::device_clock_rate(), 60);
  sim::set_device_clock_rate(1);
  m_machine += 1;
  EXPECT_DOUBLE_EQ(sim::device_now(), here + 1);

  // A clock file from before rates existed holds only an offset.
  m_device.write_text("/var/run/clock.plist",
                      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>Offset</key><real>-999000</real>"
                      "</dict></plist>");
  sim::reload_device_clock();
  EXPECT_EQ(sim::device_clock_rate(), 1);
  EXPECT_DOUBLE_EQ(sim::device_now(), m_machine - 999000);
}

// A set in another process of the device: this one follows at its next
// reading with no reload, and hears the platform's clock-set notification.
TEST_F(DeviceClockRate, ASetInAnotherProcessIsReadHereAtOnceAndAnnounced) {
  int heard = 0;
  darwin::observe(darwin::kClockSetNotification, [&](std::string_view) { ++heard; });
  EXPECT_DOUBLE_EQ(sim::device_now(), m_machine);  // read before the change
  pid_t child = ::fork();
  if (child == 0) _exit(sim::set_device_clock_rate(30) && sim::set_device_now(1.9e9) ? 0 : 1);
  int status = -1;
  ::waitpid(child, &status, 0);
  ASSERT_EQ(status, 0);
  m_machine += 2;
  EXPECT_DOUBLE_EQ(sim::device_now(), 1.9e9 + 60);
  darwin::deliver_pending();
  EXPECT_GE(heard, 1);
  EXPECT_FALSE(sim::set_device_now(NAN));
}

}  // namespace
