// Making, installing, booting and stopping a device.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "host/cli/commands.h"
#include "host/cli/device_status.h"
#include "host/cli/package_store.h"
#include "host/common/control_channel.h"
#include "host/common/device_layout.h"
#include "host/common/device_processes.h"
#include "host/device/battery_source.h"
#include "host/device/clock_text.h"
#include "platform/foundation/device_clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"

namespace cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kDeviceProcesses[] = {"Preferences", "SpringBoard", "launchd"};

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool device_running() { return host::running_device_process("launchd").has_value(); }

std::string tail_of_file(const std::string& path, std::size_t lines) {
  auto c = foundation::read_whole_file(path, 16u << 20);
  if (!c.ok()) return "";
  std::size_t at = c.bytes.size();
  if (at && c.bytes[at - 1] == '\n') --at;
  while (lines-- && at != std::string::npos && at > 0) at = c.bytes.rfind('\n', at - 1);
  return at == std::string::npos || at == 0 ? c.bytes : c.bytes.substr(at + 1);
}

// Stops recorded processes that are still this device's, gently then firmly.
void stop_leftovers() {
  for (const char* name : kDeviceProcesses) {
    auto pid = host::running_device_process(name);
    if (pid) {
      ::kill(*pid, SIGTERM);
      auto deadline = Clock::now() + std::chrono::seconds(3);
      while (host::is_device_process(*pid) && Clock::now() < deadline) sleep_ms(20);
      if (host::is_device_process(*pid)) ::kill(*pid, SIGKILL);
    }
    host::remove_pid_file(name);
  }
}

std::optional<nlohmann::json> springboard_status() { return process_status("SpringBoard", 2000); }

}  // namespace

int cmd_init(const Args& args) {
  bool fresh = false;
  for (auto& a : args) {
    if (a == "--fresh")
      fresh = true;
    else {
      std::cerr << "usage: simdevice init [--fresh]\n";
      return 2;
    }
  }
  const std::string& root = foundation::device_root();
  std::error_code ec;
  if (fresh && fs::exists(root, ec)) {
    // Only ever wipe something that is a device root, never an arbitrary folder.
    if (!fs::exists(root + "/var/run", ec) || !fs::is_symlink(root + "/User", ec)) {
      if (!fs::is_empty(root, ec)) {
        std::cerr << "simdevice: " << root << " is not a device root; not removing it\n";
        return 1;
      }
    }
    if (device_running()) cmd_shutdown({});
    fs::remove_all(root, ec);
    if (ec) {
      std::cerr << "simdevice: cannot remove " << root << ": " << ec.message() << "\n";
      return 1;
    }
  }
  std::string error;
  if (!host::make_device_layout(root, &error)) {
    std::cerr << "simdevice: " << error << "\n";
    return 1;
  }
  std::cout << "Device root ready at " << root << " (" << host::device_machine_identifier(root) << ")\n";
  return 0;
}

int cmd_install(const Args& args) {
  if (args.empty() || args.size() > 1) {
    std::cerr << "usage: simdevice install PACKAGE   (a staged tree folder or a .deb)\n";
    return 2;
  }
  std::string package = fs::absolute(args[0]).string();
  std::string error;
  host::make_device_layout(foundation::device_root(), &error);
  std::error_code ec;
  auto result = fs::is_regular_file(package, ec) ? install_deb(package, &error) : install_tree(package, "", &error);
  if (!result) {
    std::cerr << "simdevice: install failed: " << error << "\n";
    return 1;
  }
  std::cout << "Installed " << result->package << " (" << result->files << " files)";
  if (device_running()) std::cout << "; respring to load it (simdevice respring)";
  std::cout << "\n";
  return 0;
}

int cmd_remove(const Args& args) {
  std::string name;
  if (args.size() == 1) {
    name = args[0];
  } else if (args.empty()) {
    auto installed = installed_packages();
    if (installed.size() != 1) {
      std::cerr << "usage: simdevice remove PACKAGE" << (installed.empty() ? " (nothing is installed)" : "") << "\n";
      for (auto& p : installed) std::cerr << "  " << p << "\n";
      return 2;
    }
    name = installed.front();
  } else {
    std::cerr << "usage: simdevice remove [PACKAGE]\n";
    return 2;
  }
  std::string error;
  if (!remove_package(name, &error)) {
    std::cerr << "simdevice: " << error << "\n";
    return 1;
  }
  std::cout << "Removed " << name << "\n";
  return 0;
}

int cmd_boot(const Args& args) {
  std::string battery = "sim";
  std::optional<std::string> clock;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--battery" && i + 1 < args.size())
      battery = args[++i];
    else if (args[i] == "--clock" && i + 1 < args.size())
      clock = args[++i];
    else {
      std::cerr << "usage: simdevice boot [--clock TIME] [--battery sim[:OPTIONS]|trace:FILE|sysfs[:DIR]]\n";
      return 2;
    }
  }
  const std::string& root = foundation::device_root();
  if (auto pid = host::running_device_process("launchd")) {
    std::cout << "Device at " << root << " is already running (launchd pid " << *pid << ")\n";
    return 0;
  }
  std::string error;
  if (!host::make_device_layout(root, &error)) {
    std::cerr << "simdevice: " << error << "\n";
    return 1;
  }
  // The supervisor runs in the device root: a file or folder it reads must be named absolutely.
  for (const char* kind : {"trace:", "sysfs:"}) {
    std::string k = kind;
    if (battery.rfind(k, 0) == 0 && battery.size() > k.size() && battery[k.size()] != '/')
      battery = k + fs::absolute(battery.substr(k.size())).string();
  }
  // Refuse a battery source that cannot work before anything starts.
  if (!device::make_battery_source(battery, &error)) {
    std::cerr << "simdevice: " << error << "\n";
    return 1;
  }
  if (clock) {
    auto t = device::parse_clock_time(*clock, foundation::device_now());
    if (!t) {
      std::cerr << "simdevice: bad time '" << *clock << "' (HH:MM, YYYY-MM-DD HH:MM[:SS] or Unix seconds)\n";
      return 2;
    }
    foundation::set_device_now(*t);
  }
  std::string launchd = host::own_exe_dir() + "/launchd";
  if (::access(launchd.c_str(), X_OK) != 0) {
    std::cerr << "simdevice: " << launchd << " is missing; build the project first\n";
    return 1;
  }
  std::string log = foundation::device_path("/var/log/launchd.log");
  pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("simdevice: fork");
    return 1;
  }
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
    if (::waitpid(pid, &wstatus, WNOHANG) == pid) {
      std::cerr << "simdevice: the device supervisor stopped at once; its log says:\n"
                << tail_of_file(log, 8);
      return 1;
    }
    if (!supervisor_up) supervisor_up = process_status("launchd", 1000).has_value();
    if (supervisor_up) {
      if (auto sb = springboard_status(); sb && sb->value("launched", false)) {
        std::cout << "Booted device at " << root << " (launchd pid " << pid << ", SpringBoard pid "
                  << sb->value("pid", 0) << (sb->value("safe_mode", false) ? ", safe mode" : "") << ")\n";
        return 0;
      }
      if (auto l = process_status("launchd", 1000); l && (*l)["springboard"].contains("error")) {
        std::cerr << "simdevice: " << (*l)["springboard"]["error"].get<std::string>()
                  << "; the supervisor keeps running (simdevice shutdown stops it)\n";
        return 1;
      }
    }
    sleep_ms(50);
  }
  std::cerr << "simdevice: SpringBoard did not finish launching within 30 s; see " << log << " and "
            << foundation::device_path("/var/log/syslog") << "\n";
  return 1;
}

int cmd_shutdown(const Args& args) {
  if (!args.empty()) {
    std::cerr << "usage: simdevice shutdown\n";
    return 2;
  }
  auto launchd = host::running_device_process("launchd");
  bool anything = launchd || host::running_device_process("SpringBoard") || host::running_device_process("Preferences");
  if (!anything) {
    std::cout << "Device at " << foundation::device_root() << " is not running\n";
    for (const char* name : kDeviceProcesses) host::remove_pid_file(name);
    return 0;
  }
  if (launchd) {
    host::control_request(host::control_socket_path("launchd"), {"shutdown"}, 5000);
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (host::is_device_process(*launchd) && Clock::now() < deadline) sleep_ms(20);
  }
  stop_leftovers();
  for (const char* name : kDeviceProcesses) ::unlink(host::control_socket_path(name).c_str());
  std::cout << "Device at " << foundation::device_root() << " stopped\n";
  return 0;
}

int cmd_respring(const Args& args) {
  if (!args.empty()) {
    std::cerr << "usage: simdevice respring\n";
    return 2;
  }
  auto before = springboard_status();
  long old_pid = before ? before->value("pid", 0L) : 0L;
  auto reply = host::control_request(host::control_socket_path("launchd"), {"respring"});
  if (!reply) {
    std::cerr << "simdevice: the device is not running (simdevice boot)\n";
    return 1;
  }
  if (reply->status != 0) {
    std::cerr << reply->err << "\n";
    return reply->status;
  }
  auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    if (auto sb = springboard_status();
        sb && sb->value("launched", false) && sb->value("pid", 0L) != old_pid && sb->value("pid", 0L) > 0) {
      std::cout << "SpringBoard restarted (pid " << sb->value("pid", 0L) << ")"
                << (sb->value("safe_mode", false) ? " in safe mode" : "") << "\n";
      return 0;
    }
    sleep_ms(50);
  }
  std::cerr << "simdevice: SpringBoard did not come back within 30 s\n";
  return 1;
}

}  // namespace cli
