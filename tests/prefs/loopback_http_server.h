#pragma once
// A tiny HTTP server on 127.0.0.1 for one test: answers every request with a
// fixed body and records the request targets. It runs on its own thread,
// serves at most a bounded number of requests, and stops with the test.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pxtest {

class LoopbackHttpServer {
 public:
  explicit LoopbackHttpServer(std::string body = "ok") : m_body(std::move(body)) {
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
  ~LoopbackHttpServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_fd);
  }

  // "127.0.0.1:PORT"
  std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }
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
  void serve() {
    for (int served = 0; !m_stop && served < 64;) {
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) continue;
      ++served;
      std::string request;
      char buf[4096];
      while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd q{c, POLLIN, 0};
        if (::poll(&q, 1, 2000) <= 0) break;
        ssize_t n = ::read(c, buf, sizeof buf);
        if (n <= 0) break;
        request.append(buf, static_cast<std::size_t>(n));
      }
      auto first = request.substr(0, request.find("\r\n"));
      auto sp1 = first.find(' '), sp2 = first.rfind(' ');
      if (sp1 != std::string::npos && sp2 > sp1) {
        std::lock_guard lock(m_mutex);
        m_targets.push_back(first.substr(sp1 + 1, sp2 - sp1 - 1));
      }
      std::string reply =
          "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(m_body.size()) +
          "\r\nConnection: close\r\n\r\n" + m_body;
      ssize_t ignored = ::write(c, reply.data(), reply.size());
      (void)ignored;
      ::close(c);
    }
  }

  std::string m_body;
  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::string> m_targets;
  std::thread m_thread;
};

}  // namespace pxtest
