#include "host/device/supervisor.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <nlohmann/json.hpp>
#include <thread>

#include "host/common/device_processes.h"
#include "host/common/device_verbs.h"
#include "host/common/value_json.h"
#include "platform/system/device_process.h"
#include "platform/foundation/log.h"
#include "platform/foundation/run_loop.h"

namespace px::host::device {
namespace {

constexpr const char* kSpringBoard = "SpringBoard";
constexpr const char* kPreferences = "Preferences";

nlohmann::json pid_or_null(pid_t pid) { return pid > 0 ? nlohmann::json(pid) : nlohmann::json(nullptr); }

std::string describe_exit(int wstatus) {
  if (WIFSIGNALED(wstatus))
    return std::string("killed by signal ") + std::to_string(WTERMSIG(wstatus)) + " (" + strsignal(WTERMSIG(wstatus)) +
           ")";
  return "exited with status " + std::to_string(WEXITSTATUS(wstatus));
}

}  // namespace

Supervisor::Supervisor(std::string bin_dir, std::unique_ptr<BatteryDriver> battery)
    : m_bin_dir(std::move(bin_dir)), m_battery(std::move(battery)) {
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGCHLD);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGINT);
  sigaddset(&mask, SIGHUP);
  sigprocmask(SIG_BLOCK, &mask, nullptr);
  m_signal_fd = ::signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
  ::signal(SIGPIPE, SIG_IGN);
}

Supervisor::~Supervisor() {
  if (m_signal_fd >= 0) ::close(m_signal_fd);
}

double Supervisor::now_s() const { return platform::foundation::RunLoop::main().now_ns() / 1e9; }

int Supervisor::run() {
  auto& loop = platform::foundation::RunLoop::main();
  m_server = std::make_unique<common::ControlServer>(common::control_socket_path("launchd"),
                                                     [this](const std::vector<std::string>& a) { return handle(a); });
  if (!m_server->listening()) {
    NSLog("cannot listen on %@", common::control_socket_path("launchd"));
    return 1;
  }
  platform::system::DeviceProcess("launchd").record(::getpid());
  loop.add_fd(m_signal_fd, [this] { on_signal(); });
  m_battery->start();
  NSLog("battery source %@, generation %lld", m_battery->source().description(),
        static_cast<long long>(m_battery->generation()));
  if (int every = m_battery->poll_interval_ms(); every > 0)
    loop.add_timer(
        std::int64_t{every} * 1'000'000, [this] { m_battery->poll(); }, std::int64_t{every} * 1'000'000);
  start_springboard();
  loop.run();
  m_server.reset();
  platform::system::DeviceProcess("launchd").forget();
  NSLog("stopped");
  return 0;
}

std::optional<pid_t> Supervisor::spawn(const std::string& name, const std::vector<std::string>& args, bool safe_mode) {
  std::string exe = m_bin_dir + "/" + name;
  if (::access(exe.c_str(), X_OK) != 0) {
    NSLog("cannot start %@: %@ is missing or not executable", name, exe);
    return std::nullopt;
  }
  pid_t pid = ::fork();
  if (pid < 0) {
    NSLog("fork failed: %@", std::string(std::strerror(errno)));
    return std::nullopt;
  }
  if (pid == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    if (safe_mode)
      ::setenv("SIMDEVICE_SAFE_MODE", "1", 1);
    else
      ::unsetenv("SIMDEVICE_SAFE_MODE");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    _exit(127);
  }
  platform::system::DeviceProcess(name).record(pid);
  return pid;
}

void Supervisor::start_springboard() {
  m_restart_pending = false;
  if (m_stopping || m_springboard > 0) return;
  bool safe = m_policy.safe_mode();
  auto pid = spawn(kSpringBoard, {}, safe);
  if (!pid) {
    m_springboard_error = "SpringBoard is missing from " + m_bin_dir;
    return;
  }
  m_springboard_error.clear();
  m_springboard = *pid;
  m_springboard_safe = safe;
  if (safe)
    NSLog("started SpringBoard (pid %lld) in safe mode", static_cast<long long>(*pid));
  else
    NSLog("started SpringBoard (pid %lld)", static_cast<long long>(*pid));
}

void Supervisor::on_signal() {
  signalfd_siginfo info;
  bool stop = false;
  while (::read(m_signal_fd, &info, sizeof info) == sizeof info)
    if (info.ssi_signo != SIGCHLD) stop = true;
  reap();
  if (stop && !m_stopping) shutdown();
}

void Supervisor::reap() {
  int wstatus = 0;
  pid_t pid;
  while ((pid = ::waitpid(-1, &wstatus, WNOHANG)) > 0) on_exit(pid, wstatus);
}

void Supervisor::on_exit(pid_t pid, int wstatus) {
  if (pid == m_preferences) {
    m_preferences = 0;
    platform::system::DeviceProcess(kPreferences).forget();
    NSLog("Preferences (pid %lld) %@", static_cast<long long>(pid), describe_exit(wstatus));
    return;
  }
  if (pid != m_springboard) return;
  m_springboard = 0;
  platform::system::DeviceProcess(kSpringBoard).forget();
  if (m_stopping) return;
  bool asked = pid == m_expected_exit;
  m_expected_exit = 0;
  if (!asked) m_policy.record_death(now_s());
  ++m_restarts;
  NSLog("SpringBoard (pid %lld) %@; restarting%@", static_cast<long long>(pid), describe_exit(wstatus),
        std::string(m_policy.safe_mode() ? " in safe mode" : ""));
  double delay = asked ? 0 : m_policy.restart_delay();
  m_restart_pending = true;
  platform::foundation::RunLoop::main().add_timer(static_cast<std::int64_t>(delay * 1e9), [this] {
    if (m_restart_pending) start_springboard();
  });
}

void Supervisor::stop_process(pid_t pid, int grace_ms) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(grace_ms);
  int wstatus;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t r = ::waitpid(pid, &wstatus, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &wstatus, 0);
}

void Supervisor::shutdown() {
  m_stopping = true;
  NSLog("shutting down");
  stop_process(m_preferences, 3000);
  stop_process(m_springboard, 3000);
  m_preferences = m_springboard = 0;
  platform::system::DeviceProcess(kPreferences).forget();
  platform::system::DeviceProcess(kSpringBoard).forget();
  platform::foundation::RunLoop::main().stop();
}

common::Reply Supervisor::handle(const std::vector<std::string>& args) {
  if (args.empty()) return Reply::fail("launchd: no command", 2);
  const std::string& cmd = args[0];
  std::vector<std::string> rest(args.begin() + 1, args.end());
  if (cmd == "battery-change") {
    // simdevice parsed the command line; this is its typed request (one JSON argument).
    auto request = rest.size() == 1 ? nlohmann::json::parse(rest[0], nullptr, false) : nlohmann::json();
    auto change = battery_change_from_json(request);
    if (!change) return Reply::fail("battery: " + change.message(), 2);
    long long generation = m_battery->apply(*change);
    if (generation == 0) return Reply::fail("battery: the battery entry could not be written");
    const auto& entry = m_battery->entry();
    nlohmann::json out = {{"generation", generation},
                          {"level", entry["Level"].doubleValue()},
                          {"state", state_name(entry["State"].intValue())}};
    return Reply::ok(common::json_text(out));
  }
  if (cmd == "plug" || cmd == "unplug") {
    auto generation = m_battery->plug(cmd == "plug");
    if (!generation) return Reply::fail(cmd + ": " + generation.message());
    const auto& entry = m_battery->entry();
    nlohmann::json out = {{"generation", *generation},
                          {"level", entry["Level"].doubleValue()},
                          {"state", state_name(entry["State"].intValue())}};
    return Reply::ok(common::json_text(out));
  }
  // The battery's own requests, like battery-change above, stay ahead of the table.
  if (cmd == "usage") {
    if (rest.size() != 1) return Reply::fail("usage: usage NAME", 2);
    auto generation = m_battery->set_usage(rest[0]);
    if (!generation) return Reply::fail("usage: " + generation.message());
    const auto& status = m_battery->entry()["Status"];
    nlohmann::json out = {{"generation", *generation},
                          {"usage", m_battery->source().usage().value_or("")},
                          {"current_ma", status["InstantAmperage"].longLongValue()}};
    return Reply::ok(common::json_text(out));
  }
  // Everything else is a verb of the device's table.
  auto request = common::verbs::read_request<common::verbs::LaunchdRequest>(args);
  if (!request) return Reply::fail("launchd: " + request.message(), 2);
  namespace verbs = common::verbs;
  return std::visit(verbs::Handlers{
                        [&](const verbs::Status&) { return status(); },
                        [&](const verbs::OpenSettings& open) { return open_settings(open.url); },
                        [&](const verbs::Respring&) { return respring(); },
                        [&](const verbs::KillSpringBoard&) {
                          if (m_springboard <= 0) return Reply::fail("SpringBoard is not running");
                          m_expected_exit = m_springboard;
                          ::kill(m_springboard, SIGKILL);
                          return Reply::ok();
                        },
                        [&](const verbs::Shutdown&) {
                          platform::foundation::RunLoop::main().add_timer(0, [this] { shutdown(); });
                          return Reply::ok();
                        },
                    },
                    *request);
}

common::Reply Supervisor::respring() {
  m_policy.respring();
  if (m_springboard > 0) {
    pid_t pid = m_springboard;
    m_expected_exit = pid;
    ::kill(pid, SIGTERM);
    // A SpringBoard that ignores the request is made to go.
    platform::foundation::RunLoop::main().add_timer(3'000'000'000, [this, pid] {
      if (m_springboard == pid) ::kill(pid, SIGKILL);
    });
  } else {
    start_springboard();
  }
  NSLog("respring requested");
  return Reply::ok();
}

common::Reply Supervisor::open_settings(const std::string& url) {
  if (m_preferences > 0) {
    auto reply = common::control_request(common::control_socket_path(kPreferences), words_of(common::verbs::Open{url}));
    if (reply) return *reply;
  }
  if (m_preferences <= 0) {
    auto pid = spawn(kPreferences, {"--open", url}, false);
    if (!pid) return Reply::fail("the Settings app (Preferences) is missing from " + m_bin_dir);
    m_preferences = *pid;
    NSLog("started Preferences (pid %lld) for %@", static_cast<long long>(*pid), url);
  }
  // The caller learns the pane is open only once the app answers.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto reply =
            common::control_request(common::control_socket_path(kPreferences), words_of(common::verbs::Status{}), 2000))
      return Reply::ok();
    reap();
    if (m_preferences <= 0) return Reply::fail("the Settings app exited while opening " + url);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  return Reply::fail("the Settings app did not answer after opening " + url);
}

common::Reply Supervisor::status() const {
  nlohmann::json out = {
      {"pid", ::getpid()},
      {"springboard",
       {{"pid", pid_or_null(m_springboard)},
        {"restarts", m_restarts},
        {"deaths", m_policy.deaths()},
        {"safe_mode", m_springboard > 0 ? m_springboard_safe : m_policy.safe_mode()}}},
      {"preferences", {{"pid", pid_or_null(m_preferences)}}},
      {"battery_source", m_battery->source().description()},
      {"battery_generation", m_battery->generation()},
  };
  if (auto usage = m_battery->source().usage()) out["usage"] = *usage;
  if (!m_springboard_error.empty()) out["springboard"]["error"] = m_springboard_error;
  return Reply::ok(common::json_text(out));
}

}  // namespace px::host::device
