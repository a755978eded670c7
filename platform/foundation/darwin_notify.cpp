#include "platform/foundation/darwin_notify.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <vector>

#include "platform/foundation/folder_watcher.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation {

struct CFNotificationCenter {
  std::unique_ptr<FolderWatcher> watcher;
  std::multimap<std::string, darwin::Handler> handlers;
};

namespace {

// A set of the device's clock is posted as the platform posts it, so every
// process of the device learns of it.
[[maybe_unused]] const bool g_clock_set_posted = [] {
  sim::on_device_clock_set([] { darwin::post(darwin::kClockSetNotification); });
  return true;
}();

CFNotificationCenter& center() {
  static CFNotificationCenter* c = new CFNotificationCenter;
  return *c;
}

// Resolved once per device root: a post is on the hot path and resolving
// walks every component of the path.
const std::string& notify_folder() {
  static std::string root, folder;
  if (folder.empty() || root != sim::device_root()) {
    root = sim::device_root();
    folder = sim::DevicePath("/var/run/notify").host();
  }
  return folder;
}

// Names hold "/" (com.example/updatesettings): escape it for a file name.
std::string encode(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '/' || c == '%' || c == '\0') {
      static const char* hex = "0123456789ABCDEF";
      out += '%';
      out += hex[(static_cast<unsigned char>(c) >> 4) & 15];
      out += hex[static_cast<unsigned char>(c) & 15];
    } else {
      out += c;
    }
  }
  if (out == "." || out == "..") out = "%2E" + out.substr(1);
  return out;
}

std::string decode(std::string_view file) {
  std::string out;
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '%' && i + 2 < file.size()) {
      out += static_cast<char>(std::stoi(std::string(file.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += file[i];
    }
  }
  return out;
}

void serve(CFNotificationCenter& c, const std::vector<std::string>& files) {
  for (const auto& file : files) {
    std::string name = decode(file);
    auto [lo, hi] = c.handlers.equal_range(name);
    std::vector<darwin::Handler> matched;
    for (auto it = lo; it != hi; ++it) matched.push_back(it->second);
    for (auto& h : matched) h(name);
  }
}

void ensure_watching(CFNotificationCenter& c) {
  if (!c.watcher) {
    // Without a watchable folder no notification can arrive; a post makes
    // the folder, and the next observe() tries again.
    c.watcher = FolderWatcher::create(notify_folder(), [&c](const std::vector<std::string>& files) {
                  serve(c, files);
                }).value_or(nullptr);
    return;
  }
  // Registered again after a run-loop reset in tests; harmless otherwise.
  c.watcher->attach_to_run_loop();
}

}  // namespace

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter() { return &center(); }

void CFNotificationCenterAddObserver(CFNotificationCenterRef c, const void* observer, CFNotificationCallback callback,
                                     std::string_view name, const void* object, int /*suspension_behavior*/) {
  if (!c || !callback) return;
  auto* obs = const_cast<void*>(observer);
  darwin::observe(name, [c, obs, callback, object](std::string_view n) { callback(c, obs, n, object, Value()); });
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef c, std::string_view name, const void*, const Value&,
                                          bool) {
  if (!c) return;
  darwin::post(name);
}

namespace darwin {

void observe(std::string_view name, Handler handler) {
  auto& c = center();
  ensure_watching(c);
  c.handlers.emplace(std::string(name), std::move(handler));
}

std::string file_for(std::string_view name) { return notify_folder() + "/" + encode(name); }

bool post(std::string_view name) {
  const std::string& folder = notify_folder();
  std::string path = file_for(name);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0 && errno == ENOENT) {
    make_folders(folder);
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  }
  if (fd < 0) return false;
  ::close(fd);  // the close is the signal (IN_CLOSE_WRITE)
  return true;
}

void deliver_pending() {
  auto& c = center();
  if (c.watcher) c.watcher->drain();
}

void reset_for_testing() {
  auto& c = center();
  c.watcher.reset();
  c.handlers.clear();
}

}  // namespace darwin
}  // namespace px::platform::foundation
