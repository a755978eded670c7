#include "bench/deliverables.h"

#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "bench/workloads.h"
#include "host/common/control_channel.h"
#include "host/common/device_layout.h"
#include "host/springboard/springboard_host.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list_files.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/device_paths.h"
#include "prefs/panes.h"
#include "shared/names.h"
#include "tweak/test_access.h"

extern char** environ;

namespace px::bench {

struct Deliverables::Host {
  host::springboard::SpringBoardHost host{
      host::springboard::HostOptions{.safe_mode = false, .load_tweaks = false, .control_socket = false}};
};

Deliverables::Deliverables() {
  platform::foundation::writeToFile(full_settings(), platform::sim::DevicePath(shared::kSettingsFile));
  m_host = std::make_unique<Host>();
  m_tweak = ::dlopen(PX_TWEAK_DYLIB, RTLD_NOW | RTLD_LOCAL);
  if (!m_tweak) {
    std::fprintf(stderr, "bench: tweak not loaded: %s\n", ::dlerror());
    return;
  }
  // The shipped library exports nothing; the settings reload is timed through
  // the test variant's access (the same code, not started).
  load_settings = &tweak::test_access().loadSettings;
  m_host->host.launch();
  prefs::register_classes();
}

Deliverables::~Deliverables() = default;

namespace {

long resident_kib() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  long pages = 0, resident = 0;
  if (f) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

long resident_kib_after_broadcasts(bool with_tweak, int broadcasts) {
  int out[2];
  if (::pipe(out) != 0) return -1;
  pid_t child = ::fork();
  if (child == 0) {
    // Memory, not time, is measured here: skip the flushes to disk.
    platform::sim::set_durable_writes(false);
    host::springboard::SpringBoardHost host(
        host::springboard::HostOptions{.safe_mode = false, .load_tweaks = false, .control_socket = false});
    if (with_tweak && !::dlopen(PX_TWEAK_DYLIB, RTLD_NOW | RTLD_LOCAL)) _exit(1);
    host.launch();
    platform::foundation::Value status = realistic_status();
    auto& center = platform::foundation::NSNotificationCenter::defaultCenter();
    for (int i = 0; i < broadcasts; ++i) {
      status.mutable_dictionary()["UpdateTime"] = platform::foundation::Value(1418000000 + i);
      center.postNotificationName(shared::kBatteryStatusChangedNotification, nullptr, status);
    }
    long kib = resident_kib();
    ssize_t n = ::write(out[1], &kib, sizeof kib);
    (void)n;
    _exit(0);
  }
  ::close(out[1]);
  long kib = -1;
  if (::read(out[0], &kib, sizeof kib) != sizeof kib) kib = -1;
  ::close(out[0]);
  ::waitpid(child, nullptr, 0);
  return kib;
}

double springboard_start_to_status_bar_ms() {
  std::string root = platform::sim::device_root() + "/startup";
  if (auto made = host::common::make_device_layout(root); !made) throw std::runtime_error(made.message());
  std::filesystem::copy(PX_STAGE_DIR, root,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  std::string binary = std::string(PX_BIN_DIR) + "/SpringBoard";
  std::string env_root = "SIMDEVICE_ROOT=" + root;
  std::vector<char*> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "SIMDEVICE_", 10) != 0) env.push_back(*e);
  env.push_back(env_root.data());
  env.push_back(nullptr);
  char* argv[] = {binary.data(), nullptr};
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (::posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv, env.data()) != 0) return -1;
  std::string socket = root + "/var/run/SpringBoard.sock";
  double ms = -1;
  auto deadline = start + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    auto reply = host::common::control_request(socket, {"status"}, 1000);
    if (reply) {
      auto j = nlohmann::json::parse(reply->out, nullptr, false);
      if (j.is_object() && !j.value("status_bar_time", "").empty()) {
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        break;
      }
    }
    ::usleep(500);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return ms;
}

}  // namespace px::bench
