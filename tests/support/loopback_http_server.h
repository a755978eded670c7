#pragma once
// A tiny HTTP server on 127.0.0.1 for one test, on its own thread: it answers
// every request with a 200 and a fixed body, or with exact bytes given (to try
// broken replies), or holds the connection without a word. It records the
// request targets, serves a bounded number of requests and stops with the test.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace px::tests::support {

class LoopbackHttpServer {
 public:
  // The reply's exact bytes, sent as they are (then the connection closes).
  struct Raw {
    std::string bytes;
  };
  // Accepts, reads the request, and answers nothing until the server stops.
  struct Silent {};

  explicit LoopbackHttpServer(std::string body = "ok")
      : LoopbackHttpServer(Raw{"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body}) {}
  explicit LoopbackHttpServer(Raw reply) : m_reply(std::move(reply.bytes)) { start(); }
  explicit LoopbackHttpServer(Silent) : m_silent(true) { start(); }
  ~LoopbackHttpServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_fd);
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // "127.0.0.1:PORT"
  std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }
  std::string url(const std::string& path = "/") const { return "http://" + host() + path; }
  std::vector<std::string> targets() {
    std::lock_guard lock(m_mutex);
    return m_targets;
  }

  // A loopback address where nothing listens (the port is bound, then freed).
  static std::string dead_host() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  }

 private:
  void start() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_fd, 8);
    socklen_t len = sizeof addr;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { serve(); });
  }

  void serve() {
    for (int served = 0; !m_stop && served < 64;) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) continue;
      ++served;
      record(read_request(c));
      if (m_silent) {
        while (!m_stop) ::usleep(10000);
      } else {
        // A client that gives up early (an oversized reply) must not raise SIGPIPE.
        for (std::size_t sent = 0; sent < m_reply.size();) {
          ssize_t n = ::send(c, m_reply.data() + sent, m_reply.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) break;
          sent += static_cast<std::size_t>(n);
        }
      }
      ::close(c);
    }
  }

  static std::string read_request(int c) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
      pollfd q{c, POLLIN, 0};
      if (::poll(&q, 1, 2000) <= 0) break;
      ssize_t n = ::read(c, buf, sizeof buf);
      if (n <= 0) break;
      request.append(buf, static_cast<std::size_t>(n));
    }
    return request;
  }

  void record(const std::string& request) {
    auto first = request.substr(0, request.find("\r\n"));
    auto sp1 = first.find(' '), sp2 = first.rfind(' ');
    if (sp1 != std::string::npos && sp2 > sp1) {
      std::lock_guard lock(m_mutex);
      m_targets.push_back(first.substr(sp1 + 1, sp2 - sp1 - 1));
    }
  }

  std::string m_reply;
  bool m_silent = false;
  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::string> m_targets;
  std::thread m_thread;
};

}  // namespace px::tests::support
