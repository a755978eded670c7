// Commands that read the device (status, log, watch) and the guided tour.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "host/cli/command_entries.h"
#include "host/cli/screen.h"
#include "host/common/control_channel.h"
#include "host/common/device_processes.h"
#include "host/common/log_tail.h"
#include "host/common/value_json.h"
#include "host/status/device_status.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/sim/device_paths.h"

#ifndef PX_SOURCE_DIR
#define PX_SOURCE_DIR "."
#endif

namespace px::host::cli {
namespace {

CommandResult show_log(const ParsedArgs& args, Context& context) {
  long long n = -1;
  if (auto text = args.last("-n")) {
    auto count = parse_count(*text, 1'000'000'000);
    if (!count) return context.usage_error("-n takes a number of lines, not '" + *text + "'");
    n = *count;
  }
  // Read from the end: a long-running device's syslog is large.
  if (n >= 0) return {0, common::last_log_text(platform::foundation::kSyslogFile, static_cast<std::size_t>(n)), {}};
  auto c = platform::foundation::read_whole_file(platform::sim::DevicePath(platform::foundation::kSyslogFile).host(),
                                                 256u << 20);
  if (!c.ok()) return {};
  return {0, *c, {}};
}

CommandResult show_status(const ParsedArgs& args, Context&) {
  auto s = status::compose_device_status();
  if (args.has("--json")) return {0, common::json_text(s, 2) + "\n", {}};
  return {0, status::describe_device_status(s), {}};
}

std::string screen_frame() {
  auto s = status::compose_device_status();
  std::string text;
  for (auto& line : render_screen(s, status::open_settings_pane(s, 2000))) text += line + "\n";
  return text;
}

CommandResult watch(const ParsedArgs& args, Context& context) {
  if (args.has("--once")) return {0, screen_frame(), {}};
  std::string shown;
  while (!context.stop_requested()) {
    std::string next = screen_frame();
    if (next != shown) {
      context.write(Stream::output, "\x1b[H\x1b[2J" + next + "(Ctrl-C to stop)");
      shown = next;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  return {0, "\n", {}};
}

// The tour is a script; it runs as a child whose output goes where the
// caller's does (the terminal, or the sink line by line).
CommandResult demo(const ParsedArgs&, Context& context) {
  std::string script = std::string(PX_SOURCE_DIR) + "/scripts/demo.sh";
  if (::access(script.c_str(), R_OK) != 0) return Context::failure("the demo script " + script + " is missing");
  std::string self = common::own_exe_dir() + "/simdevice";
  int pipe_fds[2] = {-1, -1};
  if (context.streaming() && ::pipe2(pipe_fds, O_CLOEXEC) != 0)
    return Context::failure(std::string("pipe: ") + std::strerror(errno));
  pid_t pid = ::fork();
  if (pid < 0) return Context::failure(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    if (pipe_fds[1] >= 0) {
      ::dup2(pipe_fds[1], 1);
      ::dup2(pipe_fds[1], 2);
    }
    ::setenv("SIMDEVICE", self.c_str(), 1);
    ::setenv("DEVICE", platform::sim::device_root().c_str(), 1);
    ::execlp("bash", "bash", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pipe_fds[1] >= 0) {
    ::close(pipe_fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pipe_fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) context.write(Stream::output, std::string_view(buf, static_cast<std::size_t>(n)));
    ::close(pipe_fds[0]);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return {WEXITSTATUS(status) == 127 ? 1 : WEXITSTATUS(status), {}, {}};
  return {1, {}, {}};
}

}  // namespace

std::vector<Command> view_commands() {
  Command status{"status", "the device's state", {}, true, show_status};
  status.args.options = {{"--json", "", "as one JSON object"}};
  Command log{"log", "the device's syslog", {}, true, show_log};
  log.args.options = {{"-n", "N", "only the last N lines"}};
  Command watch_command{"watch", "the device's screen in the terminal (80x24, plain ASCII)", {}, false, watch};
  watch_command.args.options = {{"--once", "", "one frame, then return"}};
  return {
      std::move(status),
      std::move(log),
      std::move(watch_command),
      {"demo", "the guided tour: a fresh device, the package installed, each feature shown", {}, false, demo},
  };
}

}  // namespace px::host::cli
