// Making, installing, booting and stopping a device.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "host/cli/command_entries.h"
#include "host/cli/package_store.h"
#include "host/common/control_channel.h"
#include "host/common/device_layout.h"
#include "host/common/device_processes.h"
#include "host/common/device_verbs.h"
#include "host/common/log_tail.h"
#include "host/common/time_text.h"
#include "host/device/battery_source.h"
#include "host/status/device_status.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/system/device_process.h"
#include "platform/system/system_command.h"

namespace px::host::cli {
namespace {

// What launchd (the supervisor) writes while it runs (a device path).
constexpr const char* kLaunchdLogFile = "/var/log/launchd.log";

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The page's server (simdevice web) first: it follows the device, and goes with it.
constexpr const char* kDeviceProcesses[] = {"web", "Preferences", "SpringBoard", "launchd"};

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool device_running() { return platform::system::DeviceProcess("launchd").running().has_value(); }

// Stops recorded processes that are still this device's, gently then firmly;
// never the process asking (the page's server runs `shutdown` for the page).
void stop_leftovers() {
  for (const char* name : kDeviceProcesses) {
    auto pid = platform::system::DeviceProcess(name).running();
    if (pid && *pid == ::getpid()) continue;
    if (pid) {
      ::kill(*pid, SIGTERM);
      auto deadline = Clock::now() + std::chrono::seconds(3);
      while (platform::system::DeviceProcess::belongs_to_device(*pid) && Clock::now() < deadline) sleep_ms(20);
      if (platform::system::DeviceProcess::belongs_to_device(*pid)) ::kill(*pid, SIGKILL);
    }
    platform::system::DeviceProcess(name).forget();
  }
}

std::optional<nlohmann::json> springboard_status() { return status::process_status("SpringBoard", 2000); }

CommandResult shutdown_device();

CommandResult init(const ParsedArgs& args, Context&) {
  bool fresh = args.has("--fresh");
  const std::string& root = platform::sim::device_root();
  std::error_code ec;
  if (fresh && fs::exists(root, ec)) {
    // Only ever wipe something that is a device root, never an arbitrary folder.
    if (!fs::exists(root + "/var/run", ec) || !fs::is_symlink(root + "/User", ec)) {
      if (!fs::is_empty(root, ec)) {
        return Context::failure(root + " is not a device root; not removing it");
      }
    }
    if (device_running()) shutdown_device();
    fs::remove_all(root, ec);
    if (ec) return Context::failure("cannot remove " + root + ": " + ec.message());
  }
  if (auto made = common::make_device_layout(root); !made) return Context::failure(made.message());
  return {0, "Device root ready at " + root + " (" + platform::system::machine_identifier() + ")\n", {}};
}

CommandResult install(const ParsedArgs& args, Context&) {
  std::string package = fs::absolute(args.positionals[0]).string();
  if (auto made = common::make_device_layout(platform::sim::device_root()); !made)
    return Context::failure("install failed: " + made.message());
  std::error_code ec;
  auto result = fs::is_regular_file(package, ec) ? install_deb(package) : install_tree(package, "");
  if (!result) return Context::failure("install failed: " + result.message());
  std::string out = "Installed " + result->package + " (" + std::to_string(result->files) + " files)";
  if (device_running()) out += "; respring to load it (simdevice respring)";
  return {0, out + "\n", {}};
}

CommandResult remove_installed(const ParsedArgs& args, Context& context) {
  std::string name;
  if (auto given = args.positional(0)) {
    name = *given;
  } else {
    auto installed = installed_packages();
    if (installed.empty()) return context.usage_error("nothing is installed");
    if (installed.size() != 1) {
      std::string which = "say which package:";
      for (auto& p : installed) which += " " + p;
      return context.usage_error(which);
    }
    name = installed.front();
  }
  if (auto removed = remove_package(name); !removed) return Context::failure(removed.message());
  return {0, "Removed " + name + "\n", {}};
}

CommandResult boot(const ParsedArgs& args, Context& context) {
  std::optional<std::string> given_battery = args.last("--battery");
  std::string battery = given_battery.value_or("sim");
  std::optional<std::string> clock = args.last("--clock");
  const std::string& root = platform::sim::device_root();
  if (auto pid = platform::system::DeviceProcess("launchd").running()) {
    std::string running = "Device at " + root + " is already running (launchd pid " + std::to_string(*pid) + ")";
    // Options that shape a boot would be silently lost on a device already booted.
    if (given_battery || clock)
      return Context::failure(running + "; --clock and --battery apply only to a boot: simdevice shutdown first " +
                              "(or set the clock with simdevice clock TIME)");
    return {0, running + "\n", {}};
  }
  if (context.caller() == Caller::web && (battery.rfind("trace:", 0) == 0 || battery.rfind("sysfs", 0) == 0))
    return context.usage_error(
        "the web page boots with the simulated battery only (a trace or sysfs names the machine's files)");
  if (auto made = common::make_device_layout(root); !made) return Context::failure(made.message());
  // The supervisor runs in the device root: a file or folder it reads must be named absolutely.
  for (const char* kind : {"trace:", "sysfs:"}) {
    std::string k = kind;
    if (battery.rfind(k, 0) == 0 && battery.size() > k.size() && battery[k.size()] != '/')
      battery = k + fs::absolute(battery.substr(k.size())).string();
  }
  // Refuse a battery source that cannot work before anything starts.
  if (auto source = device::make_battery_source(battery); !source) return Context::failure(source.message());
  if (clock) {
    auto t = common::parse_device_time(*clock, platform::sim::device_now());
    if (!t) return context.usage_error(t.message());
    if (!platform::sim::set_device_now(*t)) return Context::failure("the device clock could not be written");
  }
  std::string launchd = common::own_exe_dir() + "/launchd";
  if (::access(launchd.c_str(), X_OK) != 0) return Context::failure(launchd + " is missing; build the project first");
  std::string log = platform::sim::DevicePath(kLaunchdLogFile).host();
  pid_t pid = ::fork();
  if (pid < 0) return Context::failure(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    ::setsid();
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in >= 0) ::dup2(in, 0);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    ::close_range(3, ~0U, 0);
    ::execl(launchd.c_str(), launchd.c_str(), "--battery", battery.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  auto deadline = Clock::now() + std::chrono::seconds(30);
  bool supervisor_up = false;
  while (Clock::now() < deadline) {
    int wstatus;
    if (::waitpid(pid, &wstatus, WNOHANG) == pid)
      return {1,
              {},
              "simdevice: the device supervisor stopped at once; its log says:\n" +
                  common::last_log_text(kLaunchdLogFile, 8)};
    if (!supervisor_up) supervisor_up = status::process_status("launchd", 1000).has_value();
    if (supervisor_up) {
      if (auto sb = springboard_status(); sb && sb->value("launched", false))
        return {0,
                "Booted device at " + root + " (launchd pid " + std::to_string(pid) + ", SpringBoard pid " +
                    std::to_string(sb->value("pid", 0)) + (sb->value("safe_mode", false) ? ", safe mode" : "") + ")\n",
                {}};
      if (auto l = status::process_status("launchd", 1000); l && (*l)["springboard"].contains("error"))
        return Context::failure((*l)["springboard"]["error"].get<std::string>() +
                                "; the supervisor keeps running (simdevice shutdown stops it)");
    }
    sleep_ms(50);
  }
  return Context::failure("SpringBoard did not finish launching within 30 s; see " + log + " and " +
                          platform::sim::DevicePath(platform::foundation::kSyslogFile).host());
}

CommandResult shutdown_device() {
  auto launchd = platform::system::DeviceProcess("launchd").running();
  bool anything = false;
  for (const char* name : kDeviceProcesses)
    if (auto pid = platform::system::DeviceProcess(name).running()) anything |= *pid != ::getpid();
  if (!anything) {
    for (const char* name : kDeviceProcesses)
      if (platform::system::DeviceProcess(name).recorded() != ::getpid())
        platform::system::DeviceProcess(name).forget();
    return {0, "Device at " + platform::sim::device_root() + " is not running\n", {}};
  }
  if (launchd) {
    common::control_request(common::control_socket_path("launchd"), words_of(common::verbs::Shutdown{}), 5000);
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (platform::system::DeviceProcess::belongs_to_device(*launchd) && Clock::now() < deadline) sleep_ms(20);
  }
  stop_leftovers();
  for (const char* name : kDeviceProcesses) ::unlink(common::control_socket_path(name).c_str());
  return {0, "Device at " + platform::sim::device_root() + " stopped\n", {}};
}

CommandResult respring(const ParsedArgs&, Context&) {
  auto before = springboard_status();
  long old_pid = before ? before->value("pid", 0L) : 0L;
  auto reply = common::control_request(common::control_socket_path("launchd"), words_of(common::verbs::Respring{}));
  if (!reply) return Context::failure("the device is not running (simdevice boot)");
  if (reply->status != 0) return {reply->status, {}, reply->err + "\n"};
  auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    if (auto sb = springboard_status();
        sb && sb->value("launched", false) && sb->value("pid", 0L) != old_pid && sb->value("pid", 0L) > 0)
      return {0,
              "SpringBoard restarted (pid " + std::to_string(sb->value("pid", 0L)) + ")" +
                  (sb->value("safe_mode", false) ? " in safe mode" : "") + "\n",
              {}};
    sleep_ms(50);
  }
  return Context::failure("SpringBoard did not come back within 30 s");
}

}  // namespace

std::vector<Command> device_commands() {
  Command init_command{"init", "makes a device root with the iOS layout", {}, false, init};
  init_command.args.options = {{"--fresh", "", "wipes an existing device first"}};
  Command install_command{"install", "installs a package into the device", {}, false, install};
  install_command.args.positionals = {{"PACKAGE", "a staged tree folder (build/stage) or a .deb"}};
  Command remove_command{"remove", "removes every file a package installed", {}, false, remove_installed};
  remove_command.args.positionals = {
      {"PACKAGE", "the package name; may be left out when only one is installed", false}};
  Command boot_command{"boot", "starts the device; returns once SpringBoard has launched", {}, true, boot};
  boot_command.args.options = {
      {"--clock", "TIME", std::string("sets the device clock first: ") + common::kTimeForms},
      {"--battery", "SOURCE", "sim[:level=80,speed=60,usage=browse] (default), trace:FILE or sysfs[:DIR]"},
  };
  return {
      std::move(init_command),
      std::move(install_command),
      std::move(remove_command),
      std::move(boot_command),
      {"shutdown",
       "stops every process of the device (by recorded process id only)",
       {},
       true,
       [](const ParsedArgs&, Context&) { return shutdown_device(); }},
      {"respring", "restarts SpringBoard (and leaves safe mode)", {}, true, respring},
  };
}

}  // namespace px::host::cli
