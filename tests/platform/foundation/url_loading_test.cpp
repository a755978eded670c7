// URL loading: every fetch is bounded and refuses what Foundation would refuse.

#include "platform/foundation/url_loading.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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
