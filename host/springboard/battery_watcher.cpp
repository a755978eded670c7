#include "host/springboard/battery_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "host/springboard/springboard_state.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"
#include "platform/system/hardware_state.h"

namespace springboard {
namespace {
constexpr const char* kEntryName = "battery.plist";

void make_folders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/') ::mkdir(path.substr(0, i).c_str(), 0755);
}
}  // namespace

bool handle_battery_entry() {
  foundation::Value entry = hardware::battery_entry();
  if (!entry.is_dictionary()) return false;
  foundation::Value status = entry["Status"];
  if (!status.is_dictionary()) status = foundation::Value();
  foundation::NSNotificationCenter::defaultCenter().postNotificationName("SBUIBatteryStatusChangedNotification",
                                                                         nullptr, status);
  objc::msg_send<void>(shared_instance("SBUIController"), objc::sel("updateBatteryState:"), objc::id{});
  state().battery_generation = entry["Generation"].longLongValue();
  return true;
}

BatteryWatcher::BatteryWatcher() {
  std::string folder = foundation::device_path("/var/run/hardware");
  make_folders(folder);
  m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (m_fd < 0) return;
  if (::inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    ::close(m_fd);
    m_fd = -1;
    return;
  }
  foundation::RunLoop::main().add_fd(m_fd, [this] { drain(); });
}

BatteryWatcher::~BatteryWatcher() {
  if (m_fd < 0) return;
  foundation::RunLoop::main().remove_fd(m_fd);
  ::close(m_fd);
}

void BatteryWatcher::drain() {
  if (m_fd < 0) return;
  bool changed = false;
  alignas(inotify_event) char buf[8192];
  while (true) {
    ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0) break;
    for (char* p = buf; p < buf + n;) {
      auto* ev = reinterpret_cast<inotify_event*>(p);
      if (ev->len > 0 && std::strcmp(ev->name, kEntryName) == 0) changed = true;
      p += sizeof(inotify_event) + ev->len;
    }
  }
  if (changed) handle_battery_entry();
}

}  // namespace springboard
