#include "host/web/connection_intake.h"

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "host/web/request_head.h"

namespace px::host::web {
namespace {

using Clock = std::chrono::steady_clock;

// After a refusal the connection is read and discarded a little longer, so
// that closing it with unread bytes (which resets it) does not destroy the
// answer before the client reads it. Nothing read then is kept.
constexpr auto kDrainTime = std::chrono::seconds(2);
constexpr std::size_t kMaxDrainBytes = 1u << 20;

void send_best_effort(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

struct ConnectionIntake::Connection {
  explicit Connection(std::size_t max_body) : reader(max_body) {}
  RequestReader reader;
  Clock::time_point since = Clock::now();  // waiting here since
  Clock::time_point deadline;
  bool head_done = false;
  bool draining = false;
  std::size_t drained = 0;
};

ConnectionIntake::ConnectionIntake(int listen_fd, IntakeLimits limits, Handler handler)
    : m_listen_fd(listen_fd), m_limits(limits), m_handler(std::move(handler)) {
  m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
  m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ConnectionIntake::~ConnectionIntake() {
  for (auto& [fd, c] : m_connections) ::close(fd);
  for (auto& [fd, rest] : m_resumed) ::close(fd);
  if (m_epoll >= 0) ::close(m_epoll);
  if (m_wake >= 0) ::close(m_wake);
}

void ConnectionIntake::stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
}

void ConnectionIntake::resume(int fd, std::string rest) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_stopping) {
      m_resumed.emplace_back(fd, std::move(rest));
      fd = -1;
    }
  }
  if (fd >= 0) {
    ::close(fd);
    return;
  }
  std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
}

std::size_t ConnectionIntake::waiting() const {
  std::lock_guard lock(m_mutex);
  return m_waiting_count;
}

void ConnectionIntake::run() {
  if (m_epoll < 0 || m_wake < 0) return;
  int flags = ::fcntl(m_listen_fd, F_GETFL);
  ::fcntl(m_listen_fd, F_SETFL, flags | O_NONBLOCK);
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.fd = m_listen_fd;
  ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listen_fd, &ev);
  ev.data.fd = m_wake;
  ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &ev);

  epoll_event events[64];
  while (true) {
    std::vector<std::pair<int, std::string>> resumed;
    {
      std::lock_guard lock(m_mutex);
      if (m_stopping) break;
      resumed.swap(m_resumed);
    }
    for (auto& [fd, rest] : resumed) add(fd, std::move(rest));
    int n = ::epoll_wait(m_epoll, events, 64, wait_ms());
    for (int i = 0; i < n; ++i) {
      int fd = events[i].data.fd;
      if (fd == m_wake) {
        std::uint64_t count;
        [[maybe_unused]] auto r = ::read(m_wake, &count, sizeof count);
      } else if (fd == m_listen_fd) {
        accept_all();
      } else {
        read_from(fd);
      }
    }
    expire();
    std::lock_guard lock(m_mutex);
    m_waiting_count = m_connections.size();
  }
  for (auto& [fd, c] : m_connections) ::close(fd);
  m_connections.clear();
  std::lock_guard lock(m_mutex);
  for (auto& [fd, rest] : m_resumed) ::close(fd);
  m_resumed.clear();
  m_waiting_count = 0;
}

void ConnectionIntake::accept_all() {
  while (true) {
    int fd = ::accept4(m_listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if ((errno == EMFILE || errno == ENFILE) && !m_connections.empty()) {
        // Out of descriptors: the connection waiting longest gives its own
        // up (the listening socket stays readable, so not accepting would spin).
        close_connection(oldest());
        continue;
      }
      if (errno == EMFILE || errno == ENFILE) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return;  // EAGAIN: all accepted
    }
    add(fd, {});
  }
}

void ConnectionIntake::add(int fd, std::string rest) {
  // The one waiting longest is the likeliest to be a client that never finishes.
  if (m_connections.size() >= m_limits.max_waiting) close_connection(oldest());
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  auto c = std::make_unique<Connection>(m_limits.max_body_bytes);
  c->deadline = c->since + m_limits.head_time;
  Connection& ref = *c;
  m_connections.emplace(fd, std::move(c));
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLRDHUP;
  ev.data.fd = fd;
  ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &ev);
  if (!rest.empty()) advance(fd, ref, rest);
}

int ConnectionIntake::oldest() const {
  return std::min_element(m_connections.begin(), m_connections.end(),
                          [](const auto& a, const auto& b) { return a.second->since < b.second->since; })
      ->first;
}

void ConnectionIntake::read_from(int fd) {
  auto it = m_connections.find(fd);
  if (it == m_connections.end()) return;
  Connection& c = *it->second;
  char buf[16384];
  // A few reads per wake-up: one fast sender cannot hold the others back.
  for (int round = 0; round < 4; ++round) {
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) return close_connection(fd);
    if (c.draining) {
      c.drained += static_cast<std::size_t>(n);
      if (c.drained > kMaxDrainBytes) return close_connection(fd);
      continue;
    }
    advance(fd, c, std::string_view(buf, static_cast<std::size_t>(n)));
    if (m_connections.find(fd) == m_connections.end() || c.draining) return;
  }
}

void ConnectionIntake::advance(int fd, Connection& c, std::string_view bytes) {
  RequestReader::State state = c.reader.feed(bytes);
  if (state == RequestReader::State::refused)
    return refuse(fd, c, c.reader.refusal().status, c.reader.refusal().message);
  if (c.reader.take_continue()) send_best_effort(fd, "HTTP/1.1 100 Continue\r\n\r\n");
  if (!c.head_done && (state == RequestReader::State::whole || c.reader.head_done())) {
    c.head_done = true;
    c.deadline = Clock::now() + m_limits.body_time;
  }
  if (state != RequestReader::State::whole) return;
  std::string request = c.reader.take_request(), rest = c.reader.take_rest();
  ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
  m_connections.erase(fd);
  m_handler(fd, std::move(request), std::move(rest));
}

void ConnectionIntake::refuse(int fd, Connection& c, int status, const std::string& message) {
  send_best_effort(fd, refusal_response({status, message}));
  ::shutdown(fd, SHUT_WR);
  c.draining = true;
  c.deadline = Clock::now() + kDrainTime;
}

void ConnectionIntake::close_connection(int fd) {
  ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
  ::close(fd);
  m_connections.erase(fd);
}

void ConnectionIntake::expire() {
  auto now = Clock::now();
  std::vector<int> late;
  for (auto& [fd, c] : m_connections)
    if (c->deadline <= now) late.push_back(fd);
  for (int fd : late) {
    Connection& c = *m_connections.at(fd);
    // An idle kept-alive connection just closes; one caught mid-request is told.
    if (c.draining || !c.reader.started()) {
      close_connection(fd);
    } else {
      refuse(fd, c, 408,
             c.head_done
                 ? "the request body did not arrive within " + std::to_string(m_limits.body_time.count()) + " ms"
                 : "the request line and headers did not arrive within " + std::to_string(m_limits.head_time.count()) +
                       " ms");
    }
  }
}

int ConnectionIntake::wait_ms() const {
  if (m_connections.empty()) return -1;
  auto next = Clock::time_point::max();
  for (auto& [fd, c] : m_connections) next = std::min(next, c->deadline);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(ms + 1, 0, 1000));
}

}  // namespace px::host::web
