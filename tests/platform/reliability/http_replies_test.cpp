// HTTP replies in broken forms, from a local server: the fetch gives the
// body of any real response, nothing for what is not one, refuses bodies
// over the bound, and gives up on a silent server within its time-outs.
#include <gtest/gtest.h>

#include "platform/foundation/url_loading.h"
#include "tests/support/loopback_http_server.h"

namespace {

using px::tests::support::LoopbackHttpServer;
namespace foundation = px::platform::foundation;

LoopbackHttpServer::Raw response(const std::string& status, const std::string& body) {
  return {"HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
          "\r\nConnection: close\r\n\r\n" + body};
}

class HttpReplies : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = foundation::url_timeouts();
    foundation::set_url_timeouts({500, 2000});
  }
  void TearDown() override { foundation::set_url_timeouts(saved); }
  foundation::UrlTimeouts saved;
};

TEST_F(HttpReplies, BodiesOfRealResponsesEvenErrorPages) {
  LoopbackHttpServer ok(response("200 OK", "hello"));
  EXPECT_EQ(foundation::stringWithContentsOfURL(ok.url(), foundation::NSUTF8StringEncoding), "hello");
  LoopbackHttpServer error(response("500 Internal Server Error", "<h1>oops</h1>"));
  EXPECT_EQ(foundation::stringWithContentsOfURL(error.url(), foundation::NSUTF8StringEncoding), "<h1>oops</h1>");
  LoopbackHttpServer empty(response("204 No Content", ""));
  auto e = foundation::dataWithContentsOfURL(empty.url());
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->bytes.empty());
}

TEST_F(HttpReplies, BrokenRepliesGiveNothingOrWhatArrived) {
  std::vector<std::pair<const char*, std::string>> cases = {
      {"not http", "SSH-2.0-OpenSSH\r\n"},
      {"garbage", std::string("\x00\xFF\xFE\x01garbage\r\n\r\n", 16)},
      {"headers cut", "HTTP/1.1 200 OK\r\nContent-Le"},
      {"body shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nshort"},
      {"bad chunking", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nZZ\r\nxx\r\n"},
      {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc"},
      {"huge header", "HTTP/1.1 200 OK\r\nX-Big: " + std::string(200000, 'a') + "\r\n\r\nbody"},
      {"closed at once", ""},
  };
  // Either nothing or the bytes that came: never a crash or a wait past the time-outs.
  for (auto& [name, reply] : cases) {
    SCOPED_TRACE(name);
    LoopbackHttpServer server(LoopbackHttpServer::Raw{reply});
    (void)foundation::stringWithContentsOfURL(server.url(), foundation::NSUTF8StringEncoding);
    (void)foundation::dataWithContentsOfURL(server.url());
  }
}

TEST_F(HttpReplies, BadTextOversizedBodiesSilenceAndBadAddressesGiveNothing) {
  LoopbackHttpServer bad_utf8(response("200 OK", "caf\xC3(\xFF"));
  EXPECT_FALSE(foundation::stringWithContentsOfURL(bad_utf8.url(), foundation::NSUTF8StringEncoding));
  LoopbackHttpServer high_ascii(response("200 OK", "caf\xE9"));
  EXPECT_FALSE(foundation::stringWithContentsOfURL(high_ascii.url(), foundation::NSASCIIStringEncoding));
  LoopbackHttpServer huge(response("200 OK", std::string(foundation::kMaxUrlResponseBytes + 1, 'x')));
  EXPECT_FALSE(foundation::dataWithContentsOfURL(huge.url()));
  LoopbackHttpServer silent(LoopbackHttpServer::Silent{});
  EXPECT_FALSE(foundation::stringWithContentsOfURL(silent.url(), foundation::NSUTF8StringEncoding));
  EXPECT_FALSE(foundation::dataWithContentsOfURL("http://" + LoopbackHttpServer::dead_host() + "/"));
  for (const char* bad : {"", "not a url", "file:///etc/passwd", "ftp://127.0.0.1/", "http://", "http://[::1"})
    EXPECT_FALSE(foundation::dataWithContentsOfURL(bad)) << bad;
}

}  // namespace
