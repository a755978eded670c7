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
//   GET  /favicon.ico      the page's icon
// Every request needs an allowed Host and Origin (request_guard.h), and the
// session token unless it asks for one of the page's own files
// (is_page_file, on the decoded path the router matches): a route added
// later is guarded without anyone remembering to.
//
// Requests are read whole by a ConnectionIntake (connection_intake.h) before
// a worker takes them; cpp-httplib then parses and routes each one.

#include <atomic>
#include <condition_variable>
#include <thread>
#include <utility>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/web/connection_intake.h"
#include "host/web/state_feed.h"
#include "platform/foundation/result.h"

namespace httplib {
class ThreadPool;
}

namespace px::host::web {

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
  IntakeLimits limits;    // how long and how much a request may take to arrive
};

// Commands that only read the device (they start no process and change no
// process-wide state) run beside the others: a long history export does not
// hold up a battery change. At most this many at once.
inline constexpr int kConcurrentReads = 2;

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
  platform::foundation::Result<void> bind();
  int port() const { return m_port; }
  const std::string& token() const { return m_options.token; }
  // "http://127.0.0.1:PORT/?token=TOKEN"
  std::string address() const;

  // Serves until stop() (from any thread).
  void serve();
  void stop();

  int open_event_streams() const { return m_streams.load(); }
  // Connections whose request has not arrived whole (for tests).
  std::size_t waiting_connections() const { return m_intake ? m_intake->waiting() : 0; }

 private:
  class Router;
  void install_routes();
  void serve_connection(int fd, std::string request, std::string rest);
  CommandOutcome run_for_page(const std::vector<std::string>& args);
  void publish_commands();
  void reap_children();

  WebOptions m_options;
  CommandRunner m_run_command;
  StateFeed& m_feed;
  std::unique_ptr<Router> m_server;
  std::unique_ptr<ConnectionIntake> m_intake;
  // Workers take whole requests only (made by serve(), finished by it).
  std::unique_ptr<httplib::ThreadPool> m_workers;
  int m_port = 0;
  // Commands that change the device run one at a time (their handlers touch
  // process-wide state: signal dispositions, children); reads run beside them.
  std::mutex m_change_mutex;
  std::mutex m_activity_mutex;  // guards the three below
  std::condition_variable m_reads_free;
  int m_reads_running = 0;
  std::list<std::pair<std::string, bool>> m_activity;  // command line, running
  nlohmann::json m_published;                          // what the document shows of it
  std::atomic<int> m_streams{0};
  std::atomic<bool> m_stopping{false};
  // Children the commands started (launchd from `boot`) are reaped here
  // when no changing command runs: none of them waits for its own then.
  std::thread m_reaper;
  std::condition_variable m_reaper_wake;
};

// The token kept in `host_path` (a plain file of this user, mode 0600,
// holding a token), or a fresh one written there (mode 0600) when the file is
// missing or anything else. A token that cannot be written still serves.
std::string kept_session_token(const std::string& host_path);

// The page's files as the build installs them, found beside the running
// executable (<bin>/../share/simdevice/ui); $SIMDEVICE_WEB_UI overrides.
std::string default_ui_folder();

}  // namespace px::host::web
