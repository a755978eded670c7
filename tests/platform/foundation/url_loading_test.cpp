// URL loading: every fetch is bounded and refuses what Foundation would refuse.

#include "platform/foundation/url_loading.h"

#include <gtest/gtest.h>

#include "tests/support/loopback_http_server.h"

namespace {

TEST(UrlLoading, RefusesOtherSchemesAndInvalidText) {
  EXPECT_FALSE(foundation::dataWithContentsOfURL("file:///etc/passwd"));
  EXPECT_FALSE(foundation::dataWithContentsOfURL("not a url"));
  EXPECT_FALSE(foundation::is_valid_url("ftp://host/"));
  EXPECT_TRUE(foundation::is_valid_url("http://127.0.0.1:8080/pylonex/send.php?a=%20"));
}

TEST(UrlLoading, AServerThatNeverAnswersEndsInNothing) {
  // The connection opens and the request goes out; no reply ever comes.
  testing_support::LoopbackHttpServer silent(testing_support::LoopbackHttpServer::Silent{});
  foundation::set_url_timeouts({500, 500});
  auto reply = foundation::stringWithContentsOfURL(silent.url(), foundation::NSASCIIStringEncoding);
  foundation::set_url_timeouts({});
  EXPECT_FALSE(reply);
}

}  // namespace
