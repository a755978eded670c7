#pragma once
// Where connections wait until their request has arrived whole. One thread
// accepts every connection and reads all of them at once (epoll), each
// within a time bound, through a RequestReader (request_head.h); only a whole,
// bounded request is handed to a worker. A client that sends its headers a
// byte at a time then holds a descriptor and a few KiB here, never a worker,
// so the workers stay free for the requests that have arrived.
//
// A connection kept alive comes back here after its answer (resume) and
// waits for its next request under the same bounds.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace px::host::web {

struct IntakeLimits {
  // From the moment a connection may send a request to the end of its
  // headers (an idle kept-alive connection is closed then too).
  std::chrono::milliseconds head_time{5000};
  // From the end of the headers to the end of the body.
  std::chrono::milliseconds body_time{10000};
  // Connections waiting here at once; a new one past this closes the one
  // that has waited longest.
  std::size_t max_waiting = 512;
  std::size_t max_body_bytes = 64 * 1024;
};

class ConnectionIntake {
 public:
  // Called on the intake's thread with a whole request: the connection (the
  // callee owns it from then), the request's bytes, and what followed it.
  using Handler = std::function<void(int fd, std::string request, std::string rest)>;

  // `listen_fd` is a bound, listening socket (not owned).
  ConnectionIntake(int listen_fd, IntakeLimits limits, Handler handler);
  ~ConnectionIntake();
  ConnectionIntake(const ConnectionIntake&) = delete;
  ConnectionIntake& operator=(const ConnectionIntake&) = delete;

  // Accepts and reads until stop(); closes every connection still waiting.
  void run();
  // From any thread, also before run(): run() returns (or does not start).
  void stop();
  // From any thread: the connection waits for its next request, starting
  // with `rest`. After stop() it is closed instead.
  void resume(int fd, std::string rest);

  // Connections waiting now (for tests).
  std::size_t waiting() const;

 private:
  struct Connection;
  void accept_all();
  void add(int fd, std::string rest);
  void read_from(int fd);
  void advance(int fd, Connection& c, std::string_view bytes);
  void refuse(int fd, Connection& c, int status, const std::string& message);
  void close_connection(int fd);
  int oldest() const;
  void expire();
  int wait_ms() const;

  int m_listen_fd;
  IntakeLimits m_limits;
  Handler m_handler;
  int m_epoll = -1;
  int m_wake = -1;  // eventfd: stop() or resume()
  mutable std::mutex m_mutex;
  bool m_stopping = false;
  std::vector<std::pair<int, std::string>> m_resumed;
  std::size_t m_waiting_count = 0;
  std::unordered_map<int, std::unique_ptr<Connection>> m_connections;  // the intake thread's own
};

}  // namespace px::host::web
