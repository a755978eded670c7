#include "host/web/web_server.h"

#include <fcntl.h>
#include <httplib.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <nlohmann/json.hpp>

#include "host/common/device_processes.h"
#include "host/web/command_request.h"
#include "host/web/request_guard.h"
#include "host/web/web_paths.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "host/common/value_json.h"

namespace web {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::size_t kMaxServedFile = 4u << 20;

std::string dump(const json& j) { return host::json_text(j); }

void send_json(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(dump(body), "application/json");
}

void send_error(httplib::Response& res, int status, const std::string& message) {
  send_json(res, status, {{"error", message}});
}

// The raw target's path, before cpp-httplib's own decoding.
std::string_view target_path(const httplib::Request& req) {
  std::string_view target = req.target;
  auto q = target.find('?');
  return q == std::string_view::npos ? target : target.substr(0, q);
}

bool needs_token(std::string_view path) {
  return path.rfind("/api/", 0) == 0 || path.rfind(kBundleRoute, 0) == 0 || path.rfind(kDrawnRoute, 0) == 0;
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

WebServer::WebServer(WebOptions options, CommandRunner run_command, StateFeed& feed)
    : m_options(std::move(options)), m_run_command(std::move(run_command)), m_feed(feed) {
  if (m_options.token.empty()) m_options.token = make_session_token();
  m_server = std::make_unique<httplib::Server>();
  m_server->new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
  m_server->set_socket_options(set_socket_options);
  m_server->set_payload_max_length(kMaxBodyBytes);
  m_server->set_keep_alive_timeout(5);
  install_routes();
}

WebServer::~WebServer() { stop(); }

foundation::Result<void> WebServer::bind() {
  errno = 0;
  if (m_options.port == 0) {
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port > 0) return {};
  } else if (m_server->bind_to_port("127.0.0.1", m_options.port)) {
    m_port = m_options.port;
    return {};
  }
  int why = errno;
  if (why == EADDRINUSE)
    return foundation::fail(foundation::Errc::io, "port " + std::to_string(m_options.port) +
                                                      " is in use (choose another with --port N, "
                                                      "or --port 0 for any free port)");
  return foundation::fail(foundation::Errc::io, "cannot listen on 127.0.0.1:" + std::to_string(m_options.port) +
                                                    (why ? std::string(": ") + std::strerror(why) : ""));
}

std::string WebServer::address() const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/?token=" + m_options.token;
}

void WebServer::serve() {
  m_serve_entered = true;
  if (!m_stop_requested) m_server->listen_after_bind();
  m_serve_returned = true;
}

void WebServer::stop() {
  if (!m_server) return;
  m_stop_requested = true;
  // A serve() already under way may not have started httplib's loop yet, and
  // httplib ignores a stop() until it has: wait for the loop, or for serve()
  // to have returned on its own. One that has not begun sees the request.
  while (m_serve_entered && !m_serve_returned && !m_server->is_running()) std::this_thread::yield();
  m_server->stop();
}

void WebServer::install_routes() {
  using httplib::Request;
  using httplib::Response;
  auto& server = *m_server;

  server.set_pre_routing_handler([this](const Request& req, Response& res) {
    std::string host = req.get_header_value("Host"), origin = req.get_header_value("Origin");
    std::string cookie = req.get_header_value("Cookie"), token_header = req.get_header_value("X-Simdevice-Token");
    std::string token_query = req.has_param("token") ? req.get_param_value("token") : std::string();
    std::string_view path = target_path(req);
    auto refusal =
        check_request({host, origin, cookie, token_header, token_query}, m_port, m_options.token, needs_token(path));
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
    CommandOutcome outcome;
    {
      // Handlers touch process-wide state (the device root, signal dispositions).
      std::lock_guard lock(m_command_mutex);
      outcome = m_run_command(*parsed.args);
    }
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
    std::string host_file = foundation::device_path(*device_file);
    if (!is_inside(host_file, foundation::device_path(kBundleFolder)))
      return send_error(res, 404, "not an image of an installed bundle");
    auto contents = foundation::read_whole_file(host_file, kMaxServedFile);
    if (!contents.ok()) return send_error(res, 404, "not found");
    res.set_header("Cache-Control", "no-cache");
    res.set_content(*contents, content_type_of(*device_file));
  });

  server.Get("/drawn/.*", [](const Request& req, Response& res) {
    auto device_file = drawn_device_path(target_path(req));
    if (!device_file) return send_error(res, 404, "not an image the Settings app drew");
    auto contents = foundation::read_device_file(*device_file, kMaxServedFile);
    if (!contents.ok()) return send_error(res, 404, "not found");
    // Named by their content: a name always means the same picture.
    res.set_header("Cache-Control", "max-age=3600");
    res.set_content(*contents, "image/png");
  });

  server.Get(".*", [this](const Request& req, Response& res) {
    auto relative = ui_relative_path(target_path(req));
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
    auto contents = foundation::read_whole_file(file.string(), kMaxServedFile);
    if (!contents.ok()) return send_error(res, 404, "not found");
    res.set_header("Cache-Control", "no-cache");
    res.set_content(*contents, content_type_of(relative->c_str()));
  });
}

std::string default_ui_folder() {
  if (const char* env = std::getenv("SIMDEVICE_WEB_UI"); env && *env) return env;
  return host::own_exe_dir() + "/../share/simdevice/ui";
}

}  // namespace web
