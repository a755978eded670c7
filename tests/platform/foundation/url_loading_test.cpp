// URL loading: every fetch is bounded and refuses what Foundation would refuse.

#include "platform/foundation/url_loading.h"

#include <gtest/gtest.h>

#include "tests/support/loopback_http_server.h"

namespace {

TEST(UrlLoading, RefusesOtherSchemesAndInvalidText) {
  EXPECT_FALSE(px::platform::foundation::dataWithContentsOfURL("file:///etc/passwd"));
  EXPECT_FALSE(px::platform::foundation::dataWithContentsOfURL("not a url"));
  EXPECT_FALSE(px::platform::foundation::is_valid_url("ftp://host/"));
  EXPECT_TRUE(px::platform::foundation::is_valid_url("http://127.0.0.1:8080/pylonex/send.php?a=%20"));
}

TEST(UrlLoading, AServerThatNeverAnswersEndsInNothing) {
  // The connection opens and the request goes out; no reply ever comes.
  px::tests::support::LoopbackHttpServer silent(px::tests::support::LoopbackHttpServer::Silent{});
  px::platform::foundation::set_url_timeouts({500, 500});
  auto reply =
      px::platform::foundation::stringWithContentsOfURL(silent.url(), px::platform::foundation::NSASCIIStringEncoding);
  px::platform::foundation::set_url_timeouts({});
  EXPECT_FALSE(reply);
}

}  // namespace
