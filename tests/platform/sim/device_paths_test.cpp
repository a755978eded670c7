// Device paths never leave the device root, whatever ".." or links say.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/sim/device_paths.h"
#include "tests/support/temp_device.h"

TEST(DevicePaths, ResolveUnderTheRootWhateverDotDotOrLinksSay) {
  px::tests::support::TempDevice device;
  ASSERT_EQ(::symlink("/etc", (device.root() + "/var/mobile/escape").c_str()), 0);
  ASSERT_EQ(::symlink("../../../../../../..", (device.root() + "/var/mobile/up").c_str()), 0);
  for (const auto& [path, host] : std::vector<std::pair<std::string, std::string>>{
           {"/User/Library/PylonexData.plist", "/var/mobile/Library/PylonexData.plist"},
           {"/var/run/./hardware//battery.plist", "/var/run/hardware/battery.plist"},
           {"/../../../etc/passwd", "/etc/passwd"},
           {"/User/../../../../etc/passwd", "/etc/passwd"},
           {"/User/escape/passwd", "/etc/passwd"},
           {"/User/up/etc/passwd", "/etc/passwd"}})
    EXPECT_EQ(px::platform::sim::DevicePath(path).host(), device.root() + host) << path;
}
