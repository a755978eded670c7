#pragma once
// `simdevice web`: the HTTP server (cpp-httplib) on 127.0.0.1 that serves the
// page, the state document, its event stream, the installed bundles' images,
// and runs commands for the page through the same command table as the CLI.
//
// Routes:
//   GET  /                 the page (ui/index.html); ?token=T sets the cookie
//   GET  /<file>           the page's files, from the UI folder only
//   GET  /api/state        the state document
//   GET  /api/events       Server-Sent Events: one `state` event per change
//   POST /api/command      {"args": [...]} → {"status", "output", "error"}
//   GET  /bundle/<X>.bundle/<image>   an installed bundle's image
//   GET  /drawn/<name>.png             a chart the Settings app drew
// Every /api/, /bundle/ and /drawn/ request needs the session token; every request
// needs an allowed Host and Origin (request_guard.h).

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/web/state_feed.h"
#include "platform/foundation/result.h"

namespace httplib {
class Server;
}

namespace web {

// What running one command line gives: the CLI's exit status and texts.
struct CommandOutcome {
  int status = 0;
  std::string output;
  std::string error;
};
using CommandRunner = std::function<CommandOutcome(const std::vector<std::string>& args)>;

struct WebOptions {
  int port = 0;           // 0: any free port
  std::string ui_folder;  // host folder of the page's files
  std::string token;      // empty: a fresh random one
};

// Event streams open at once; each holds a worker thread while open.
inline constexpr int kMaxEventStreams = 64;
// Workers: every stream, plus room for the page's other requests.
inline constexpr int kWorkerThreads = kMaxEventStreams + 16;
// Seconds between heartbeat comments on an idle stream (a closed client is noticed then).
inline constexpr int kHeartbeatSeconds = 15;

class WebServer {
 public:
  WebServer(WebOptions options, CommandRunner run_command, StateFeed& feed);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1:port. A failure says whether the port is in use or why
  // it cannot be bound.
  foundation::Result<void> bind();
  int port() const { return m_port; }
  const std::string& token() const { return m_options.token; }
  // "http://127.0.0.1:PORT/?token=TOKEN"
  std::string address() const;

  // Serves until stop() (from any thread).
  void serve();
  void stop();

  int open_event_streams() const { return m_streams.load(); }

 private:
  void install_routes();

  WebOptions m_options;
  CommandRunner m_run_command;
  StateFeed& m_feed;
  std::unique_ptr<httplib::Server> m_server;
  int m_port = 0;
  std::mutex m_command_mutex;  // commands from the page run one at a time
  std::atomic<int> m_streams{0};
  // httplib's stop() does nothing before its loop runs: these let a stop that
  // comes first (a server stopped right after its thread started) still count.
  std::atomic<bool> m_serve_entered{false}, m_serve_returned{false}, m_stop_requested{false};
};

// The page's files as the build installs them, found beside the running
// executable (<bin>/../share/simdevice/ui); $SIMDEVICE_WEB_UI overrides.
std::string default_ui_folder();

}  // namespace web
