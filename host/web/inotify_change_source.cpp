// The change source over inotify: one thread waiting on the inotify descriptor
// and an eventfd that stops it.

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <map>
#include <thread>

#include "host/common/screen_state.h"
#include "host/web/change_source.h"
#include "platform/foundation/device_paths.h"

namespace web {
namespace {

constexpr std::uint32_t kEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;

class InotifyChangeSource : public ChangeSource {
 public:
  ~InotifyChangeSource() override { stop(); }

  bool start(std::vector<std::string> device_folders, std::function<void()> on_change) override {
    m_inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_inotify < 0 || m_wake < 0) return false;
    m_folders = std::move(device_folders);
    m_on_change = std::move(on_change);
    arm();
    m_thread = std::thread([this] { run(); });
    return true;
  }

  void stop() override {
    if (m_thread.joinable()) {
      std::uint64_t one = 1;
      [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
      m_thread.join();
    }
    if (m_inotify >= 0) ::close(m_inotify);
    if (m_wake >= 0) ::close(m_wake);
    m_inotify = m_wake = -1;
  }

 private:
  // Adds a watch for every folder that has none; a folder made later (the
  // device booted after the server started, or wiped and made again) is
  // picked up at the next change of the folder above it, also watched.
  void arm() {
    for (auto& folder : m_folders) {
      if (m_watches.count(folder)) continue;
      std::string host = foundation::device_path(folder);
      int wd = ::inotify_add_watch(m_inotify, host.c_str(), kEvents | IN_ONLYDIR);
      if (wd >= 0) {
        m_watches[folder] = wd;
        m_folder_of[wd] = folder;
      }
    }
  }

  void run() {
    alignas(inotify_event) char buffer[16384];
    while (true) {
      pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_wake, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents) return;
      bool changed = false;
      ssize_t n;
      while ((n = ::read(m_inotify, buffer, sizeof buffer)) > 0) {
        for (char* at = buffer; at < buffer + n;) {
          auto* event = reinterpret_cast<inotify_event*>(at);
          if (event->mask & IN_IGNORED) forget(event->wd);
          changed = true;
          at += sizeof(inotify_event) + event->len;
        }
      }
      if (!changed) continue;
      arm();
      m_on_change();
    }
  }

  void forget(int wd) {
    auto it = m_folder_of.find(wd);
    if (it == m_folder_of.end()) return;
    m_watches.erase(it->second);
    m_folder_of.erase(it);
  }

  int m_inotify = -1;
  int m_wake = -1;
  std::vector<std::string> m_folders;
  std::function<void()> m_on_change;
  std::map<std::string, int> m_watches;
  std::map<int, std::string> m_folder_of;
  std::thread m_thread;
};

}  // namespace

std::vector<std::string> watched_device_folders() {
  return {"/",
          "/var",
          "/var/run",
          "/var/run/hardware",
          host::kScreenStateFolder,
          "/var/log",
          "/var/mobile/Library",
          "/var/mobile/Library/Preferences"};
}

std::unique_ptr<ChangeSource> make_change_source() { return std::make_unique<InotifyChangeSource>(); }

}  // namespace web
