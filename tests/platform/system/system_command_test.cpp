// system and uname: only this device's SpringBoard can be signalled, and the
// machine comes from the device root.

#include "platform/system/system_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/foundation/property_list_files.h"
#include "tests/support/temp_device.h"

namespace {

using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;

TEST(SystemCommand, RunsNoShellAndNeedsARecordedSpringBoard) {
  px::tests::support::TempDevice device;
  EXPECT_EQ(px::platform::system::system("touch /tmp/should-not-exist; killall -9 SpringBoard"), 127);
  EXPECT_EQ(px::platform::system::system("killall SpringBoard"), 127);
  EXPECT_EQ(px::platform::system::system("killall -9 SpringBoard"), 1);  // nothing recorded
  // This test process is not started for the device: refused.
  device.write_text("/var/run/SpringBoard.pid", std::to_string(::getpid()) + "\n");
  EXPECT_EQ(px::platform::system::system("killall -9 SpringBoard"), 1);
}

TEST(Uname, MachineComesFromTheDeviceRoot) {
  px::tests::support::TempDevice device;
  EXPECT_EQ(px::platform::system::uname().machine, "iPhone6,1");
  px::platform::foundation::writeToFile(
      Value(Dictionary{{"ProductType", "iPhone7,2"}}),
      px::platform::sim::DevicePath("/System/Library/CoreServices/SystemVersion.plist"));
  EXPECT_EQ(px::platform::system::uname().machine, "iPhone7,2");
}

}  // namespace
