// HTTP replies in broken forms, from a local server: the fetch gives the
// body of any real response, nothing for what is not one, refuses bodies
// over the bound, and gives up on a silent server within its time-outs.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/foundation/url_loading.h"

namespace {

// Answers every connection with `reply` (then closes), or holds it open
// without a word when `silent`.
class OneShotServer {
 public:
  OneShotServer(std::string reply, bool silent = false) : m_reply(std::move(reply)), m_silent(silent) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    ::listen(m_fd, 4);
    m_thread = std::thread([this] { serve(); });
  }
  ~OneShotServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_fd);
  }
  std::string url(const std::string& path = "/") const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

 private:
  void serve() {
    while (!m_stop) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int c = ::accept(m_fd, nullptr, nullptr);
      if (c < 0) continue;
      char buf[4096];
      ::recv(c, buf, sizeof buf, 0);  // the request; its content does not matter
      if (m_silent) {
        while (!m_stop) ::usleep(10000);
      } else {
        std::size_t done = 0;
        while (done < m_reply.size()) {
          ssize_t n = ::send(c, m_reply.data() + done, m_reply.size() - done, MSG_NOSIGNAL);
          if (n <= 0) break;
          done += static_cast<std::size_t>(n);
        }
      }
      ::close(c);
    }
  }
  std::string m_reply;
  bool m_silent;
  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

std::string response(const std::string& status, const std::string& body, const std::string& extra = "") {
  return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
         "Connection: close\r\n\r\n" + body;
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
  OneShotServer ok(response("200 OK", "hello"));
  EXPECT_EQ(foundation::stringWithContentsOfURL(ok.url(), foundation::NSUTF8StringEncoding), "hello");
  OneShotServer error(response("500 Internal Server Error", "<h1>oops</h1>"));
  EXPECT_EQ(foundation::stringWithContentsOfURL(error.url(), foundation::NSUTF8StringEncoding), "<h1>oops</h1>");
  OneShotServer empty(response("204 No Content", ""));
  auto e = foundation::dataWithContentsOfURL(empty.url());
  ASSERT_TRUE(e);
  EXPECT_TRUE(e->bytes.empty());
}

TEST_F(HttpReplies, BrokenRepliesGiveNothingOrWhatArrived) {
  struct Case {
    const char* name;
    std::string reply;
  };
  std::vector<Case> cases = {
      {"not http", "SSH-2.0-OpenSSH\r\n"},
      {"garbage", std::string("\x00\xFF\xFE\x01garbage\r\n\r\n", 16)},
      {"headers cut", "HTTP/1.1 200 OK\r\nContent-Le"},
      {"body shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nshort"},
      {"bad chunking", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nZZ\r\nxx\r\n"},
      {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc"},
      {"huge header", "HTTP/1.1 200 OK\r\nX-Big: " + std::string(200000, 'a') + "\r\n\r\nbody"},
      {"closed at once", ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    OneShotServer server(c.reply);
    auto s = foundation::stringWithContentsOfURL(server.url(), foundation::NSUTF8StringEncoding);
    auto d = foundation::dataWithContentsOfURL(server.url());
    (void)s;
    (void)d;  // either nothing or the bytes that came: never a crash or a wait past the time-outs
  }
}

TEST_F(HttpReplies, InvalidTextAndOversizedBodiesAreRefused) {
  OneShotServer bad_utf8(response("200 OK", "caf\xC3(\xFF"));
  EXPECT_FALSE(foundation::stringWithContentsOfURL(bad_utf8.url(), foundation::NSUTF8StringEncoding));
  OneShotServer high_ascii(response("200 OK", "caf\xE9"));
  EXPECT_FALSE(foundation::stringWithContentsOfURL(high_ascii.url(), foundation::NSASCIIStringEncoding));
  OneShotServer huge(response("200 OK", std::string(foundation::kMaxUrlResponseBytes + 1, 'x')));
  EXPECT_FALSE(foundation::dataWithContentsOfURL(huge.url()));
}

TEST_F(HttpReplies, SilentServerAndNoServerGiveNothing) {
  OneShotServer silent("", /*silent=*/true);
  EXPECT_FALSE(foundation::stringWithContentsOfURL(silent.url(), foundation::NSUTF8StringEncoding));
  int port;
  {
    OneShotServer gone("x");
    port = std::stoi(gone.url().substr(17));
  }
  EXPECT_FALSE(foundation::dataWithContentsOfURL("http://127.0.0.1:" + std::to_string(port) + "/"));
  for (const char* bad : {"", "not a url", "file:///etc/passwd", "ftp://127.0.0.1/", "http://", "http://[::1"})
    EXPECT_FALSE(foundation::dataWithContentsOfURL(bad)) << bad;
}

}  // namespace
