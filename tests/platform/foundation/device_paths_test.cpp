// Device paths never leave the device root, whatever ".." or links say.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/foundation/device_paths.h"
#include "tests/support/temp_device.h"

using foundation::device_path;

TEST(DevicePaths, ResolveUnderTheRootThroughTheUserLink) {
  testing_support::TempDevice device;
  EXPECT_EQ(device_path("/User/Library/PylonexData.plist"), device.root() + "/var/mobile/Library/PylonexData.plist");
  EXPECT_EQ(device_path("/var/run/./hardware//battery.plist"), device.root() + "/var/run/hardware/battery.plist");
}

TEST(DevicePaths, DotDotCannotClimbOutOfTheRoot) {
  testing_support::TempDevice device;
  EXPECT_EQ(device_path("/../../../etc/passwd"), device.root() + "/etc/passwd");
  EXPECT_EQ(device_path("/User/../../../../etc/passwd"), device.root() + "/etc/passwd");
}

TEST(DevicePaths, LinksPointingOutsideAreTakenInsideTheRoot) {
  testing_support::TempDevice device;
  ASSERT_EQ(::symlink("/etc", (device.root() + "/var/mobile/escape").c_str()), 0);
  ASSERT_EQ(::symlink("../../../../../../..", (device.root() + "/var/mobile/up").c_str()), 0);
  EXPECT_EQ(device_path("/User/escape/passwd"), device.root() + "/etc/passwd");
  EXPECT_EQ(device_path("/User/up/etc/passwd"), device.root() + "/etc/passwd");
}
