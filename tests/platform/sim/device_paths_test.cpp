// Device paths never leave the device root, whatever ".." or links say.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/sim/device_paths.h"
#include "tests/support/temp_device.h"

using px::platform::sim::DevicePath;

TEST(DevicePaths, ResolveUnderTheRootThroughTheUserLink) {
  px::tests::support::TempDevice device;
  EXPECT_EQ(DevicePath("/User/Library/PylonexData.plist").host(),
            device.root() + "/var/mobile/Library/PylonexData.plist");
  EXPECT_EQ(DevicePath("/var/run/./hardware//battery.plist").host(), device.root() + "/var/run/hardware/battery.plist");
}

TEST(DevicePaths, DotDotCannotClimbOutOfTheRoot) {
  px::tests::support::TempDevice device;
  EXPECT_EQ(DevicePath("/../../../etc/passwd").host(), device.root() + "/etc/passwd");
  EXPECT_EQ(DevicePath("/User/../../../../etc/passwd").host(), device.root() + "/etc/passwd");
}

TEST(DevicePaths, LinksPointingOutsideAreTakenInsideTheRoot) {
  px::tests::support::TempDevice device;
  ASSERT_EQ(::symlink("/etc", (device.root() + "/var/mobile/escape").c_str()), 0);
  ASSERT_EQ(::symlink("../../../../../../..", (device.root() + "/var/mobile/up").c_str()), 0);
  EXPECT_EQ(DevicePath("/User/escape/passwd").host(), device.root() + "/etc/passwd");
  EXPECT_EQ(DevicePath("/User/up/etc/passwd").host(), device.root() + "/etc/passwd");
}
