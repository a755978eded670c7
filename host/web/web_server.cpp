#include "host/web/web_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <list>
#include <thread>
#include <nlohmann/json.hpp>

#include "host/common/device_processes.h"
#include "host/common/value_json.h"
#include "host/web/command_request.h"
#include "host/web/request_guard.h"
#include "host/web/web_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/open_in_root.h"

namespace px::host::web {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::size_t kMaxServedFile = 4u << 20;

std::string dump(const json& j) { return common::json_text(j); }

void send_json(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(dump(body), "application/json");
}

void send_error(httplib::Response& res, int status, const std::string& message) {
  send_json(res, status, {{"error", message}});
}

// The raw target's path, before cpp-httplib's own decoding: the static
// routes decode it once themselves (web_paths.h).
std::string_view target_path(const httplib::Request& req) {
  std::string_view target = req.target;
  auto q = target.find('?');
  return q == std::string_view::npos ? target : target.substr(0, q);
}

// Whether a request may go without the token: only GETs of the page's own
// files, judged on the decoded path the router matches (req.path), so that
// no spelling of a guarded route ("/%61pi/command", "/api%2fstate") passes.
bool is_public(const httplib::Request& req) {
  return (req.method == "GET" || req.method == "HEAD") && is_page_file(req.path);
}

// The page's icon (a battery, 32×32 PNG): the browser asks for it on every load.
constexpr unsigned char kFavicon[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x08, 0x06, 0x00, 0x00, 0x00, 0x73, 0x7a, 0x7a, 0xf4, 0x00, 0x00, 0x00,
    0x43, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0x60, 0x18, 0x05, 0xa3, 0x60, 0x14, 0x8c, 0x82, 0xc1, 0x04,
    0x34, 0x34, 0x34, 0xfe, 0xd3, 0x12, 0x0f, 0x1d, 0x07, 0x50, 0x1b, 0x90, 0xe5, 0x00, 0x93, 0xe3, 0x91, 0x64,
    0xe1, 0x41, 0xed, 0x00, 0x82, 0xd1, 0x31, 0xea, 0x80, 0x51, 0x07, 0x8c, 0x3a, 0x60, 0x50, 0x95, 0x03, 0x03,
    0x5a, 0x12, 0x8e, 0xdc, 0xca, 0x68, 0x14, 0x8c, 0x82, 0x51, 0x30, 0x22, 0x01, 0x00, 0x27, 0xf6, 0x87, 0x67,
    0x14, 0x92, 0xfd, 0x10, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

constexpr auto kWriteTimeout = std::chrono::seconds(5);

// One request already read whole (by the intake), then the connection for
// the answer: what cpp-httplib's request processing reads from and writes to.
class WholeRequestStream final : public httplib::Stream {
 public:
  WholeRequestStream(int fd, std::string request) : m_fd(fd), m_request(std::move(request)) {}

  bool is_readable() const override { return m_at < m_request.size(); }
  // Writable, and not closed by the client: a stream's reader that went away
  // is noticed at the next event or heartbeat, and its worker freed.
  bool is_writable() const override { return writable_within(kWriteTimeout); }
  ssize_t read(char* ptr, size_t size) override {
    size_t n = std::min(size, m_request.size() - m_at);
    std::memcpy(ptr, m_request.data() + m_at, n);
    m_at += n;
    return static_cast<ssize_t>(n);
  }
  // One write is done within kWriteTimeout in all, however slowly the client
  // reads: a client that takes its answer a byte at a time frees the worker.
  ssize_t write(const char* ptr, size_t size) override {
    auto deadline = std::chrono::steady_clock::now() + kWriteTimeout;
    auto left = [&] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    };
    if (!writable_within(left())) return -1;
    size_t done = 0;
    while (done < size) {
      ssize_t n = ::send(m_fd, ptr + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!writable_within(left())) return -1;
      } else {
        return -1;
      }
    }
    return static_cast<ssize_t>(done);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { address_of(::getpeername, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { address_of(::getsockname, ip, port); }
  socket_t socket() const override { return m_fd; }

 private:
  bool writable_within(std::chrono::milliseconds wait) const {
    if (wait.count() <= 0) return false;
    pollfd p{m_fd, POLLOUT, 0};
    int n = ::poll(&p, 1, static_cast<int>(wait.count()));
    if (n <= 0 || (p.revents & (POLLERR | POLLHUP)) != 0) return false;
    char byte;
    return ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) != 0;
  }

  void address_of(int (*get)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    char text[INET6_ADDRSTRLEN] = "";
    port = 0;
    if (get(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return;
    if (addr.ss_family == AF_INET) {
      auto* in = reinterpret_cast<sockaddr_in*>(&addr);
      ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
      port = ntohs(in->sin_port);
    }
    ip = text;
  }

  int m_fd;
  std::string m_request;
  size_t m_at = 0;
};

// Commands that only read what the device holds: they start no process and
// touch no process-wide state, so they may run beside a changing one.
bool only_reads(const std::vector<std::string>& args) {
  return args[0] == "status" || args[0] == "log" || args[0] == "history";
}

std::string command_line(const std::vector<std::string>& args) {
  std::string line;
  for (const auto& a : args) line += (line.empty() ? "" : " ") + a;
  return line;
}

// A chart the Settings app drew: a plain PNG file of the images folder, with
// one name (no hard link from elsewhere), owned by the device's user, opened
// without following any link. Anything else there was not written by the app.
platform::foundation::Result<std::string> read_drawn_image(const platform::sim::DevicePath& image) {
  using platform::foundation::Errc;
  const std::string& device_file = image.str();
  auto slash = device_file.rfind('/');
  platform::sim::DevicePath folder(device_file.substr(0, slash));
  std::string name = device_file.substr(slash + 1);
  int dir = platform::sim::open_in_device_root(folder, O_RDONLY | O_DIRECTORY);
  if (dir < 0 && errno == ENOSYS) dir = ::open(folder.host().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return platform::foundation::fail(Errc::missing, "no images folder");
  int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  ::close(dir);
  if (fd < 0) return platform::foundation::fail(Errc::missing, "no such image");
  struct stat st {};
  std::string bytes;
  bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid() &&
               static_cast<std::size_t>(st.st_size) <= kMaxServedFile;
  if (plain) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
  }
  ::close(fd);
  static constexpr std::string_view kPngMagic("\x89PNG\r\n\x1a\n", 8);
  if (!plain || bytes.compare(0, kPngMagic.size(), kPngMagic) != 0)
    return platform::foundation::fail(Errc::unreadable, "not an image the Settings app drew");
  return bytes;
}

bool is_inside(const fs::path& file, const fs::path& folder) {
  auto f = file.lexically_normal().string();
  auto d = folder.lexically_normal().string();
  if (!d.empty() && d.back() != '/') d += '/';
  return f.rfind(d, 0) == 0;
}

// SO_REUSEADDR only: cpp-httplib's default adds SO_REUSEPORT, with which a
// second server binds a port already served and nobody is told. And the
// socket must not outlive the server in processes a command starts.
void set_socket_options(socket_t sock) {
  int yes = 1;
  ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  ::fcntl(sock, F_SETFD, FD_CLOEXEC);
}

std::string event_text(const StateSnapshot& s) { return "event: state\ndata: " + *s.json + "\n\n"; }

}  // namespace

// cpp-httplib's server, for its routing and answers only: connections are
// accepted and read by the intake, and each whole request is handed to the
// library's request processing (a protected member, opened up here).
class WebServer::Router : public httplib::Server {
 public:
  using httplib::Server::process_request;
  int listening_socket() const { return svr_sock_; }
  // Also tells streams still open that the server is going (the library's
  // streaming loop checks this socket).
  void close_listening_socket() {
    socket_t sock = svr_sock_.exchange(INVALID_SOCKET);
    if (sock != INVALID_SOCKET) ::close(sock);
  }
};

WebServer::WebServer(WebOptions options, CommandRunner run_command, StateFeed& feed)
    : m_options(std::move(options)), m_run_command(std::move(run_command)), m_feed(feed) {
  if (m_options.token.empty()) m_options.token = make_session_token();
  m_options.limits.max_body_bytes = kMaxBodyBytes;
  m_server = std::make_unique<Router>();
  m_server->set_socket_options(set_socket_options);
  m_server->set_payload_max_length(kMaxBodyBytes);
  m_server->set_keep_alive_timeout(
      std::chrono::duration_cast<std::chrono::seconds>(m_options.limits.head_time).count());
  install_routes();
}

WebServer::~WebServer() {
  stop();
  if (m_reaper.joinable()) m_reaper.join();
  if (m_server) m_server->close_listening_socket();
}

platform::foundation::Result<void> WebServer::bind() {
  errno = 0;
  if (m_options.port == 0) {
    m_port = m_server->bind_to_any_port("127.0.0.1");
  } else if (m_server->bind_to_port("127.0.0.1", m_options.port)) {
    m_port = m_options.port;
  }
  if (m_port > 0) {
    // cpp-httplib listens with a backlog of 5: a burst of connections (slow
    // clients among them) would see their SYNs dropped and retried seconds
    // later. Listening again only raises the queue.
    ::listen(m_server->listening_socket(), SOMAXCONN);
    m_intake = std::make_unique<ConnectionIntake>(m_server->listening_socket(), m_options.limits,
                                                  [this](int fd, std::string request, std::string rest) {
                                                    serve_connection(fd, std::move(request), std::move(rest));
                                                  });
    if (m_stopping) m_intake->stop();
    return {};
  }
  int why = errno;
  if (why == EADDRINUSE)
    return platform::foundation::fail(platform::foundation::Errc::io, "port " + std::to_string(m_options.port) +
                                                                          " is in use (choose another with --port N, "
                                                                          "or --port 0 for any free port)");
  return platform::foundation::fail(platform::foundation::Errc::io,
                                    "cannot listen on 127.0.0.1:" + std::to_string(m_options.port) +
                                        (why ? std::string(": ") + std::strerror(why) : ""));
}

std::string WebServer::address() const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/?token=" + m_options.token;
}

void WebServer::serve() {
  if (!m_intake) return;
  m_workers = std::make_unique<httplib::ThreadPool>(kWorkerThreads);
  m_reaper = std::thread([this] {
    std::unique_lock lock(m_activity_mutex);
    while (!m_stopping) {
      lock.unlock();
      reap_children();
      lock.lock();
      m_reaper_wake.wait_for(lock, std::chrono::seconds(1), [this] { return m_stopping.load(); });
    }
  });
  m_intake->run();
  // Streams still open see the listening socket gone and end; then every
  // worker finishes what it has.
  m_server->close_listening_socket();
  m_workers->shutdown();
}

void WebServer::stop() {
  {
    std::lock_guard lock(m_activity_mutex);
    m_stopping = true;
  }
  m_reaper_wake.notify_all();
  if (m_intake) m_intake->stop();
}

void WebServer::serve_connection(int fd, std::string request, std::string rest) {
  auto job = std::make_shared<std::pair<std::string, std::string>>(std::move(request), std::move(rest));
  m_workers->enqueue([this, fd, job] {
    WholeRequestStream stream(fd, std::move(job->first));
    bool client_closes = false;
    bool answered = m_server->process_request(stream, m_stopping, client_closes, nullptr);
    if (answered && !client_closes && !m_stopping) {
      m_intake->resume(fd, std::move(job->second));
    } else {
      ::shutdown(fd, SHUT_RDWR);
      ::close(fd);
    }
  });
}

void WebServer::reap_children() {
  // Only while no changing command runs: such a command may be waiting for
  // a child of its own, whose status must stay its own. Reads start none.
  std::unique_lock lock(m_change_mutex, std::try_to_lock);
  if (!lock.owns_lock()) return;
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

void WebServer::publish_commands() {
  // Called with m_activity_mutex held. Only a wait is news to the page: what
  // it waits for while anything waits, nothing otherwise (and no new
  // composition of the document when that has not changed).
  bool waiting = std::any_of(m_activity.begin(), m_activity.end(), [](const auto& a) { return !a.second; });
  nlohmann::json shown;
  if (waiting) {
    nlohmann::json running = nlohmann::json::array(), queued = nlohmann::json::array();
    for (const auto& [line, runs] : m_activity) (runs ? running : queued).push_back(line);
    shown = {{"running", running}, {"waiting", queued}};
  }
  if (shown == m_published) return;
  m_published = shown;
  m_feed.set_commands(std::move(shown));
}

CommandOutcome WebServer::run_for_page(const std::vector<std::string>& args) {
  std::string line = command_line(args);
  bool read = only_reads(args);
  std::unique_lock<std::mutex> change;
  std::list<std::pair<std::string, bool>>::iterator mine;
  {
    std::unique_lock lock(m_activity_mutex);
    mine = m_activity.emplace(m_activity.end(), line, false);
    publish_commands();
    if (read) {
      m_reads_free.wait(lock, [&] { return m_reads_running < kConcurrentReads; });
      ++m_reads_running;
    } else {
      lock.unlock();
      change = std::unique_lock(m_change_mutex);
      lock.lock();
    }
    mine->second = true;
    publish_commands();
  }
  CommandOutcome outcome = m_run_command(args);
  if (!read) {
    // A `boot` leaves launchd a child of this process: it is reaped when it ends.
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    change.unlock();
  }
  std::lock_guard lock(m_activity_mutex);
  if (read) {
    --m_reads_running;
    m_reads_free.notify_one();
  }
  m_activity.erase(mine);
  publish_commands();
  // The page shows device paths: the machine path of the device root is the
  // server's business, not the page's.
  std::string root = platform::sim::device_root();
  outcome.output = device_view(outcome.output, root);
  outcome.error = device_view(outcome.error, root);
  return outcome;
}

void WebServer::install_routes() {
  using httplib::Request;
  using httplib::Response;
  auto& server = *m_server;

  server.set_pre_routing_handler([this](const Request& req, Response& res) {
    std::string host = req.get_header_value("Host"), origin = req.get_header_value("Origin");
    std::string cookie = req.get_header_value("Cookie"), token_header = req.get_header_value("X-Simdevice-Token");
    std::string token_query = req.has_param("token") ? req.get_param_value("token") : std::string();
    auto refusal =
        check_request({host, origin, cookie, token_header, token_query}, m_port, m_options.token, !is_public(req));
    if (refusal) {
      send_error(res, refusal->status, refusal->message);
      return httplib::Server::HandlerResponse::Handled;
    }
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    // The page runs nothing from anywhere but here, and no site may frame it.
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data:; style-src 'self'; script-src 'self'; "
                   "connect-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
    if (token_equal(token_query, m_options.token))
      res.set_header("Set-Cookie",
                     token_cookie_name(m_port) + "=" + m_options.token + "; Path=/; HttpOnly; SameSite=Strict");
    return httplib::Server::HandlerResponse::Unhandled;
  });

  server.set_error_handler([](const Request&, Response& res) {
    if (!res.body.empty()) return;
    if (res.status == 413)
      send_error(res, 413, "the request body is larger than 64 KiB");
    else if (res.status == 404)
      send_error(res, 404, "not found");
    else
      send_error(res, res.status, "the request was refused");
  });

  server.Get("/api/state", [this](const Request&, Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(*m_feed.current().json, "application/json");
  });

  server.Post("/api/command", [this](const Request& req, Response& res) {
    CommandRequest parsed = parse_command_request(req.body);
    if (!parsed.args) {
      send_json(res, 400, {{"status", 2}, {"output", ""}, {"error", parsed.error}});
      return;
    }
    CommandOutcome outcome = run_for_page(*parsed.args);
    send_json(res, outcome.status == 2 ? 400 : 200,
              {{"status", outcome.status}, {"output", outcome.output}, {"error", outcome.error}});
  });

  server.Get("/api/events", [this](const Request&, Response& res) {
    if (m_streams.fetch_add(1) >= kMaxEventStreams) {
      m_streams.fetch_sub(1);
      send_error(res, 503, "too many open event streams");
      return;
    }
    auto seen = std::make_shared<long long>(-1);
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, seen](std::size_t, httplib::DataSink& sink) {
          if (*seen < 0) {
            StateSnapshot first = m_feed.current();
            *seen = first.generation;
            std::string text = "retry: 1000\n\n" + event_text(first);
            return sink.write(text.data(), text.size());
          }
          auto next = m_feed.wait_newer(*seen, std::chrono::seconds(kHeartbeatSeconds));
          if (m_feed.stopped()) return false;
          std::string text = next ? event_text(*next) : std::string(": heartbeat\n\n");
          if (next) *seen = next->generation;
          return sink.write(text.data(), text.size());
        },
        [this](bool) { m_streams.fetch_sub(1); });
  });

  server.Get("/bundle/.*", [](const Request& req, Response& res) {
    auto device_file = bundle_device_path(target_path(req));
    if (!device_file) return send_error(res, 404, "not an image of an installed bundle");
    // Links are followed as the device follows them, inside its root; what
    // they reach must still be inside the bundles' folder.
    std::string host_file = device_file->host();
    if (!is_inside(host_file, platform::sim::DevicePath(kBundleFolder).host()))
      return send_error(res, 404, "not an image of an installed bundle");
    auto contents = platform::foundation::read_whole_file(host_file, kMaxServedFile);
    if (!contents.ok()) return send_error(res, 404, "not found");
    res.set_header("Cache-Control", "no-cache");
    res.set_content(*contents, content_type_of(device_file->str()));
  });

  server.Get("/favicon.ico", [](const Request&, Response& res) {
    res.set_header("Cache-Control", "max-age=86400");
    res.set_content(std::string(reinterpret_cast<const char*>(kFavicon), sizeof kFavicon), "image/png");
  });

  server.Get("/drawn/.*", [](const Request& req, Response& res) {
    auto device_file = drawn_device_path(target_path(req));
    if (!device_file) return send_error(res, 404, "not an image the Settings app drew");
    auto contents = read_drawn_image(*device_file);
    if (!contents.ok()) return send_error(res, 404, "not found");
    // Named by their content: a name always means the same picture.
    res.set_header("Cache-Control", "max-age=3600");
    res.set_content(*contents, "image/png");
  });

  server.Get(".*", [this](const Request& req, Response& res) {
    // Only what may go without the token is a page file (see is_public).
    auto relative = is_page_file(req.path) ? ui_relative_path(target_path(req)) : std::nullopt;
    if (!relative) return send_error(res, 404, "not found");
    if (target_path(req) == "/" && req.has_param("token")) {
      // The cookie is set (pre-routing); the token leaves the address bar.
      res.set_redirect("/", 303);
      return;
    }
    std::error_code ec;
    fs::path folder = fs::canonical(m_options.ui_folder, ec);
    fs::path file = ec ? fs::path() : fs::weakly_canonical(folder / *relative, ec);
    if (ec || !is_inside(file, folder)) return send_error(res, 404, "not found");
    auto contents = platform::foundation::read_whole_file(file.string(), kMaxServedFile);
    if (!contents.ok()) return send_error(res, 404, "not found");
    res.set_header("Cache-Control", "no-cache");
    res.set_content(*contents, content_type_of(relative->c_str()));
  });
}

std::string kept_session_token(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    struct stat st {};
    char text[64] = {};
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0)
      n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    std::string token(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (!token.empty() && token.back() == '\n') token.pop_back();
    if (token.size() == 32 && token.find_first_not_of("0123456789abcdef") == std::string::npos) return token;
  }
  std::string token = make_session_token();
  // The writer's temporary file is made 0600 (mkstemp); the mode is set
  // again in case a writer ever widens it.
  if (platform::sim::write_file_atomically(path, token + "\n")) ::chmod(path.c_str(), 0600);
  return token;
}

std::string default_ui_folder() {
  if (const char* env = std::getenv("SIMDEVICE_WEB_UI"); env && *env) return env;
  return common::own_exe_dir() + "/../share/simdevice/ui";
}

}  // namespace px::host::web
