// simdevice web [--port N]: serves the live page of the device on
// 127.0.0.1 until interrupted (host/web/web_server.h says what it serves).

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "host/cli/command_entries.h"
#include "host/web/change_source.h"
#include "host/web/command_request.h"
#include "host/web/request_guard.h"
#include "host/web/state_document.h"
#include "host/web/web_server.h"
#include "platform/sim/device_paths.h"
#include "platform/system/device_process.h"

namespace px::host::cli {
namespace {

constexpr int kDefaultPort = 8765;
// The server's process id is kept as the device's others are, so `simdevice
// shutdown` stops it too.
constexpr const char* kWebProcess = "web";

std::string read_proc(const char* file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The device's process check reads a process's environment as it started.
// Started with --root rather than SIMDEVICE_ROOT, the server starts itself
// again with the root in its environment, so `shutdown` knows it as the device's.
void restart_with_root_in_environment() {
  if (platform::system::DeviceProcess::belongs_to_device(::getpid())) return;
  std::string cmdline = read_proc("/proc/self/cmdline");
  std::vector<std::string> words;
  for (std::size_t i = 0; i < cmdline.size();) {
    std::size_t end = cmdline.find('\0', i);
    if (end == std::string::npos) end = cmdline.size();
    words.emplace_back(cmdline, i, end - i);
    i = end + 1;
  }
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  // main() has put the root into this process's environment already.
  if (!words.empty()) ::execv("/proc/self/exe", argv.data());
}

// The session token of a server on a fixed port is kept in the device's run
// folder: a server started again there for the same device takes the same
// token, and the page's open tabs reconnect by themselves.
std::string session_token(int port) {
  if (port == 0) return web::make_session_token();
  return web::kept_session_token(platform::sim::DevicePath("/var/run/web-" + std::to_string(port) + ".token").host());
}

web::CommandOutcome run_for_page(const std::vector<std::string>& command) {
  // What the page is given is bounded (web::kMaxCommandOutput a stream); a
  // command writing as it goes is asked to stop once its output is cut.
  web::OutputCapture output, error;
  RunOptions options;
  options.caller = Caller::web;
  options.sink = [&](Stream stream, std::string_view text) {
    (stream == Stream::output ? output : error).append(text);
  };
  options.stop_requested = [&] { return output.truncated() || error.truncated(); };
  CommandResult r = run_command(command, options);
  output.append(r.output);
  error.append(r.error);
  std::string line;
  for (const auto& word : command) line += (line.empty() ? "" : " ") + word;
  return web::CommandOutcome{r.status, output.take(line), error.take(line)};
}

CommandResult serve(const ParsedArgs& args, Context& context) {
  int port = kDefaultPort;
  if (auto text = args.last("--port")) {
    auto n = parse_count(*text, 65535);
    if (!n) return context.usage_error("--port takes 0..65535 (0: any free port), not '" + *text + "'");
    port = static_cast<int>(*n);
  }
  std::string ui = web::default_ui_folder();
  if (!std::filesystem::is_regular_file(ui + "/index.html"))
    return Context::failure("the page's files are missing from " + ui + " (build the web_ui target)");
  if (auto other = platform::system::DeviceProcess(kWebProcess).running(); other && *other != ::getpid())
    return Context::failure("simdevice web already serves this device (pid " + std::to_string(*other) + ")");
  restart_with_root_in_environment();

  // SIGINT and SIGTERM are taken by sigwait below: blocked here, before any
  // thread starts, so that no other thread is picked to receive them.
  sigset_t stop_signals, previous;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &stop_signals, &previous);
  struct Restore {
    sigset_t mask;
    ~Restore() { ::pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
  } restore{previous};

  web::StateComposer composer;
  web::StateFeed feed([&composer] { return composer.compose(); });
  web::WebServer server({port, ui, session_token(port), {}}, run_for_page, feed);
  if (auto bound = server.bind(); !bound) return Context::failure(bound.message());
  feed.start();
  auto changes = web::make_change_source();
  auto on_change = [&feed](bool folders_remade) {
    // A device made again under the server (init --fresh) has lost the pid
    // file that lets `shutdown` stop the server and keeps a second one off.
    // Only once its folders exist again: writing into one being wiped would
    // make the wipe fail.
    if (folders_remade && !platform::system::DeviceProcess(kWebProcess).recorded())
      platform::system::DeviceProcess(kWebProcess).record(::getpid());
    feed.mark_changed();
  };
  if (!changes->start(web::watched_device_folders(), on_change))
    return Context::failure("cannot watch the device's folders (inotify)");
  platform::system::DeviceProcess(kWebProcess).record(::getpid());
  std::thread serving([&server] { server.serve(); });

  context.write(Stream::output, "Serving the device at " + platform::sim::device_root() + "\n  open " +
                                    server.address() +
                                    "\n  (the address holds this run's session token; Ctrl-C stops)\n");
  int signal_number = 0;
  ::sigwait(&stop_signals, &signal_number);

  changes->stop();
  feed.stop();
  server.stop();
  serving.join();
  if (platform::system::DeviceProcess(kWebProcess).recorded() == ::getpid())
    platform::system::DeviceProcess(kWebProcess).forget();
  return {0, "simdevice web: stopped\n", {}};
}

}  // namespace

Command web_command() {
  Command command{"web", "serves the live page of the device on 127.0.0.1 until interrupted", {}, false, serve};
  command.args.options = {
      {"--port", "N", "the port (default " + std::to_string(kDefaultPort) + "; 0 picks a free one and prints it)"},
  };
  return command;
}

}  // namespace px::host::cli
