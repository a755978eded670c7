// The battery: changing it by hand and recording what the device broadcasts.

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <thread>

#include "host/cli/commands.h"
#include "host/cli/device_status.h"
#include "host/common/control_channel.h"
#include "host/common/value_json.h"
#include "host/device/battery_change.h"
#include "platform/foundation/device_paths.h"
#include "platform/system/hardware_state.h"

namespace cli {
namespace {

using Clock = std::chrono::steady_clock;
volatile sig_atomic_t g_interrupted = 0;

std::string level_text(double level) {
  if (level < 0) return "level unknown";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f%%", level * 100);
  return buf;
}

std::optional<long long> handled_generation() {
  auto reply = host::control_request(host::control_socket_path("SpringBoard"), {"sync"}, 3000);
  if (reply && reply->status == 0) {
    try {
      return std::stoll(reply->out);
    } catch (...) {
    }
  }
  if (auto s = process_status("SpringBoard", 2000); s && (*s)["battery_generation"].is_number_integer())
    return (*s)["battery_generation"].get<long long>();
  return std::nullopt;
}

// Prints a launchd battery reply and waits for SpringBoard to handle it.
int report_battery_change(const host::Reply& reply, const char* what) {
  if (reply.status != 0) {
    std::cerr << reply.err << "\n";
    return reply.status;
  }
  auto j = nlohmann::json::parse(reply.out, nullptr, false);
  long long generation = j.is_object() ? j.value("generation", 0LL) : 0;
  if (!wait_for_battery_handled(generation, 15000)) {
    std::cerr << "simdevice: SpringBoard did not handle the battery change (generation " << generation
              << ") within 15 s\n";
    return 1;
  }
  std::cout << what << ": " << level_text(j.value("level", -1.0)) << ", " << j.value("state", "unknown")
            << " (generation " << generation << ", handled by SpringBoard)\n";
  return 0;
}

}  // namespace

bool wait_for_battery_handled(long long generation, int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (Clock::now() < deadline) {
    if (auto handled = handled_generation(); handled && *handled >= generation) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

int cmd_battery(const Args& args) {
  std::string error;
  if (!device::parse_battery_args(args, &error)) {
    std::cerr << "simdevice battery: " << error << "\n"
              << "usage: simdevice battery [LEVEL] [--state unknown|unplugged|charging|full] [--set KEY=VALUE]...\n"
              << "                         [--unset KEY]... [--no-status] [--reset]\n";
    return 2;
  }
  Args request{"battery"};
  request.insert(request.end(), args.begin(), args.end());
  auto reply = host::control_request(host::control_socket_path("launchd"), request);
  if (!reply) {
    std::cerr << "simdevice: the device is not running (simdevice boot)\n";
    return 1;
  }
  return report_battery_change(*reply, "battery");
}

int cmd_plug(bool connected) {
  auto reply = host::control_request(host::control_socket_path("launchd"), {connected ? "plug" : "unplug"});
  if (!reply) {
    std::cerr << "simdevice: the device is not running (simdevice boot)\n";
    return 1;
  }
  return report_battery_change(*reply, connected ? "plugged in" : "unplugged");
}

int cmd_record(const Args& args) {
  std::string file;
  long long count = -1;
  double seconds = -1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--count" && i + 1 < args.size())
      count = std::atoll(args[++i].c_str());
    else if (args[i] == "--seconds" && i + 1 < args.size())
      seconds = std::atof(args[++i].c_str());
    else if (file.empty() && args[i][0] != '-')
      file = args[i];
    else
      file.clear(), i = args.size();
  }
  if (file.empty()) {
    std::cerr << "usage: simdevice record FILE [--count N] [--seconds S]   (JSON lines, replay with "
                 "boot --battery trace:FILE)\n";
    return 2;
  }
  std::ofstream out(file, std::ios::trunc);
  if (!out) {
    std::cerr << "simdevice: cannot write " << file << "\n";
    return 1;
  }
  std::string folder = foundation::device_path("/var/run/hardware");
  int fd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd < 0 || ::inotify_add_watch(fd, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    std::cerr << "simdevice: cannot watch " << folder << "\n";
    return 1;
  }
  ::signal(SIGINT, [](int) { g_interrupted = 1; });
  ::signal(SIGTERM, [](int) { g_interrupted = 1; });
  auto start = Clock::now();
  long long last_generation = -1, written = 0;
  auto take = [&] {
    auto entry = hardware::battery_entry();
    long long generation = entry["Generation"].longLongValue();
    if (!entry.is_dictionary() || generation == last_generation) return;
    last_generation = generation;
    nlohmann::json line = {{"Time", std::chrono::duration<double>(Clock::now() - start).count()},
                           {"Level", entry["Level"].doubleValue()},
                           {"State", device::state_name(entry["State"].intValue())}};
    if (entry["Status"].is_dictionary()) line["Status"] = host::to_json(entry["Status"]);
    out << line.dump() << "\n" << std::flush;
    ++written;
  };
  std::cerr << "Recording battery broadcasts into " << file << " (Ctrl-C to stop)\n";
  take();
  while (!g_interrupted && (count < 0 || written < count)) {
    if (seconds >= 0 && std::chrono::duration<double>(Clock::now() - start).count() >= seconds) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) > 0) {
      char buf[4096];
      while (::read(fd, buf, sizeof buf) > 0) {
      }
      take();
    }
  }
  ::close(fd);
  std::cout << "Recorded " << written << " sample" << (written == 1 ? "" : "s") << " into " << file << "\n";
  return 0;
}

}  // namespace cli
