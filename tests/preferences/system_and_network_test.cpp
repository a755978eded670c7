// system, uname and URL loading: only this device's SpringBoard can be
// signalled, the machine comes from the device root, and every fetch is
// bounded and refuses what Foundation would refuse.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include "platform/foundation/property_list_files.h"
#include "platform/foundation/url_loading.h"
#include "platform/system/system_command.h"
#include "tests/support/temp_device.h"

namespace {

using foundation::Dictionary;
using foundation::Value;

TEST(SystemCommand, RunsNoShellAndNeedsARecordedSpringBoard) {
  testing_support::TempDevice device;
  EXPECT_EQ(sys::system("touch /tmp/should-not-exist; killall -9 SpringBoard"), 127);
  EXPECT_EQ(sys::system("killall SpringBoard"), 127);
  EXPECT_EQ(sys::system("killall -9 SpringBoard"), 1);  // nothing recorded
  device.write_text("/var/run/SpringBoard.pid", "1\n");
  EXPECT_EQ(sys::recorded_pid("SpringBoard"), 0);  // init is never a target
  device.write_text("/var/run/SpringBoard.pid", "12x\n");
  EXPECT_EQ(sys::recorded_pid("SpringBoard"), 0);
  // This test process is not started for the device: refused.
  device.write_text("/var/run/SpringBoard.pid", std::to_string(::getpid()) + "\n");
  EXPECT_FALSE(sys::process_belongs_to_device(::getpid()));
  EXPECT_EQ(sys::system("killall -9 SpringBoard"), 1);
}

TEST(Uname, MachineComesFromTheDeviceRoot) {
  testing_support::TempDevice device;
  EXPECT_EQ(sys::uname().machine, "iPhone6,1");
  foundation::writeToFile(Value(Dictionary{{"ProductType", "iPhone7,2"}}),
                          "/System/Library/CoreServices/SystemVersion.plist");
  EXPECT_EQ(sys::uname().machine, "iPhone7,2");
}

TEST(UrlLoading, RefusesOtherSchemesAndInvalidText) {
  EXPECT_FALSE(foundation::dataWithContentsOfURL("file:///etc/passwd"));
  EXPECT_FALSE(foundation::dataWithContentsOfURL("not a url"));
  EXPECT_FALSE(foundation::is_valid_url("ftp://host/"));
  EXPECT_TRUE(foundation::is_valid_url("http://127.0.0.1:8080/pylonex/send.php?a=%20"));
}

TEST(UrlLoading, AServerThatNeverAnswersEndsInNothing) {
  // Listening but never accepting: the connection opens, no reply comes.
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::listen(fd, 4);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  foundation::set_url_timeouts({500, 500});
  auto reply = foundation::stringWithContentsOfURL("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/",
                                                   foundation::NSASCIIStringEncoding);
  foundation::set_url_timeouts({});
  ::close(fd);
  EXPECT_FALSE(reply);
}

}  // namespace
