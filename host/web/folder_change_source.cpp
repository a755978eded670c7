// The change source over the platform's folder watcher: the watchers live on
// a run loop of their own, turned by one thread, so that they never share the
// process's main loop with the commands the page runs (those turn it while
// they wait for the device). An eventfd on that loop stops it.

#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

#include "host/common/screen_state.h"
#include "host/web/change_source.h"
#include "platform/foundation/folder_watcher.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_paths.h"
#include "platform/sqlite/device_database.h"
#include "shared/names.h"

namespace px::host::web {
namespace {

class FolderChangeSource : public ChangeSource {
 public:
  ~FolderChangeSource() override { stop(); }

  bool start(std::vector<std::string> device_folders, ChangeHandler on_change) override {
    m_on_change = std::move(on_change);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) return false;
    // Deletions count (a process gone takes its pid file along), and every
    // folder is followed: the device may not exist yet, or be wiped and made
    // again under the server (init --fresh), and the page must keep up.
    platform::foundation::FolderWatchOptions options{.deletions = true, .follow_path = true, .loop = &m_loop};
    // The history store's rows: the add-on keeps the store open and appends
    // each row to its log, closing nothing, after the battery data file. Only
    // the store's folder is told of writes in place (the syslog's folder would
    // wake at every line for nothing).
    std::string store_log = std::string(shared::kHistoryStoreFile) + platform::sqlite::kCompanionSuffixes[0];
    std::size_t slash = store_log.rfind('/');
    for (auto& folder : device_folders) {
      platform::foundation::FolderWatchOptions folder_options = options;
      if (folder == store_log.substr(0, slash)) folder_options.written_in_place = {store_log.substr(slash + 1)};
      auto watcher = platform::foundation::FolderWatcher::create(
          platform::sim::DevicePath(folder).host(), [this](const std::vector<std::string>&) { m_changed = true; },
          folder_options);
      if (!watcher) return false;
      m_watchers.push_back(std::move(*watcher));
    }
    m_found_anew.assign(m_watchers.size(), 0);
    // The watchers of one turn are one change: the state is composed once for all.
    m_loop.add_turn_observer([this] { after_turn(); });
    // Never read: the descriptor stays readable, so a stop that comes before
    // the loop runs still ends it.
    m_loop.add_fd(m_wake, [this] { m_loop.stop(); });
    m_thread = std::thread([this] { m_loop.run(); });
    return true;
  }

  void stop() override {
    if (m_thread.joinable()) {
      std::uint64_t one = 1;
      [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
      m_thread.join();
    }
    m_watchers.clear();
    if (m_wake >= 0) ::close(m_wake);
    m_wake = -1;
  }

 private:
  void after_turn() {
    bool remade = false;
    for (std::size_t i = 0; i < m_watchers.size(); ++i) {
      auto found = m_watchers[i]->times_found_anew();
      remade = remade || found != m_found_anew[i];
      m_found_anew[i] = found;
    }
    if (!m_changed && !remade) return;
    m_changed = false;
    m_on_change(remade);
  }

  platform::foundation::RunLoop m_loop;
  int m_wake = -1;
  // Touched on the loop's thread only.
  bool m_changed = false;
  std::vector<std::uint64_t> m_found_anew;  // each watcher's count at the last turn
  ChangeHandler m_on_change;
  std::vector<std::unique_ptr<platform::foundation::FolderWatcher>> m_watchers;
  std::thread m_thread;
};

}  // namespace

std::vector<std::string> watched_device_folders() {
  return {"/var/run", "/var/run/hardware",   common::kScreenStateFolder,
          "/var/log", "/var/mobile/Library", "/var/mobile/Library/Preferences"};
}

std::unique_ptr<ChangeSource> make_change_source() { return std::make_unique<FolderChangeSource>(); }

}  // namespace px::host::web
