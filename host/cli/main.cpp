// simdevice: makes, boots and drives a simulated device. main() only picks the
// device root and shows what the command table's command returns.

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "host/cli/command_table.h"
#include "platform/foundation/log.h"
#include "platform/sim/device_paths.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void write_through(px::host::cli::Stream stream, std::string_view text) {
  auto& out = stream == px::host::cli::Stream::output ? std::cout : std::cerr;
  out << text << std::flush;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string root;
  if (const char* env = std::getenv("SIMDEVICE_ROOT"); env && *env) root = env;
  std::size_t i = 0;
  while (i < args.size() && args[i].rfind("--", 0) == 0) {
    if (args[i] == "--root" && i + 1 < args.size()) {
      root = args[i + 1];
      i += 2;
    } else if (args[i].rfind("--root=", 0) == 0) {
      root = args[i].substr(7);
      ++i;
    } else if (args[i] == "--help") {
      args = {"help"};
      i = 0;
      break;
    } else {
      break;
    }
  }
  if (root.empty()) root = "device";
  std::error_code ec;
  root = std::filesystem::weakly_canonical(std::filesystem::absolute(root), ec).string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  ::setenv("SIMDEVICE_ROOT", root.c_str(), 1);
  px::platform::sim::set_device_root(root);
  px::platform::foundation::set_process_name("simdevice");

  // Ctrl-C ends a long-running command (watch, record) so it can say what it
  // did; other commands stop at once as usual.
  struct sigaction on_stop {};
  on_stop.sa_handler = [](int) { g_stop = 1; };
  ::sigemptyset(&on_stop.sa_mask);
  px::host::cli::RunOptions options;
  options.caller = px::host::cli::Caller::terminal;
  options.sink = write_through;
  options.stop_requested = [&] {
    // Asked only by commands that run until stopped: from then on Ctrl-C is theirs.
    ::sigaction(SIGINT, &on_stop, nullptr);
    ::sigaction(SIGTERM, &on_stop, nullptr);
    return g_stop != 0;
  };
  px::host::cli::CommandResult result =
      px::host::cli::run_command({args.begin() + static_cast<long>(i), args.end()}, options);
  std::cout << result.output << std::flush;
  std::cerr << result.error << std::flush;
  return result.status;
}
