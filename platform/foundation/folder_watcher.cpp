#include "platform/foundation/folder_watcher.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cstring>
#include <set>

#include "platform/foundation/run_loop.h"

namespace px::platform::foundation {
namespace {

constexpr std::uint32_t kWrites = IN_CLOSE_WRITE | IN_MOVED_TO;
constexpr std::uint32_t kDeletions = IN_DELETE | IN_MOVED_FROM;
constexpr std::uint32_t kGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;
// On the folder above a missing one: the next step down made or moved in.
constexpr std::uint32_t kAboveEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// On the parent of the folder watched: that folder removed, moved away or
// replaced. Told there when it happens; on the folder itself a removal is
// told only once no process holds it open any more (one that reads the
// device keeps its root open).
constexpr std::uint32_t kParentEvents =
    IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Folders that vanish and come back while the path is followed: a bound on
// the retries of one re-arming, never reached by a device being remade.
constexpr int kMaxFollowSteps = 64;

bool is_folder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parent_of(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

RunLoop& loop_of(const FolderWatchOptions& options) { return options.loop ? *options.loop : RunLoop::main(); }

}  // namespace

bool make_folders(const std::string& folder) {
  for (std::size_t i = 1; i <= folder.size(); ++i)
    if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0755);
  return is_folder(folder);
}

Result<std::unique_ptr<FolderWatcher>> FolderWatcher::create(const std::string& folder, Handler on_change,
                                                             const FolderWatchOptions& options) {
  auto refuse = [&](Errc code, const std::string& why) { return fail(code, "cannot watch " + folder + ": " + why); };
  if (folder.empty() || folder[0] != '/') return refuse(Errc::invalid, "not an absolute path");
  if (!options.follow_path && !make_folders(folder))
    return refuse(Errc::unreadable, "it is not a folder and cannot be made one");
  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return refuse(Errc::io, std::strerror(errno));
  std::unique_ptr<FolderWatcher> watcher(new FolderWatcher(folder, fd, std::move(on_change), options));
  // Trailing slashes go: "a/b/" and "a/b" are one path.
  while (watcher->m_folder.size() > 1 && watcher->m_folder.back() == '/') watcher->m_folder.pop_back();
  if (options.follow_path) {
    watcher->watch_path();
  } else if (!watcher->watch_path()) {
    return refuse(Errc::io, std::strerror(errno));
  }
  watcher->attach_to_run_loop();
  return watcher;
}

FolderWatcher::FolderWatcher(std::string folder, int fd, Handler on_change, const FolderWatchOptions& options)
    : m_folder(std::move(folder)), m_fd(fd), m_on_change(std::move(on_change)), m_options(options) {}

FolderWatcher::~FolderWatcher() {
  loop_of(m_options).remove_fd(m_fd);
  ::close(m_fd);
}

void FolderWatcher::attach_to_run_loop() {
  loop_of(m_options).add_fd(m_fd, [this] { drain(); });
}

void FolderWatcher::drop_watches() {
  for (int* watch : {&m_folder_watch, &m_above_watch, &m_parent_watch}) {
    if (*watch >= 0) ::inotify_rm_watch(m_fd, *watch);
    *watch = -1;
  }
  m_awaited_name.clear();
  m_watched_name.clear();
}

bool FolderWatcher::watch_path() {
  drop_watches();
  std::uint32_t mask = kWrites | IN_ONLYDIR | (m_options.deletions ? kDeletions : 0u) |
                       (m_options.written_in_place.empty() ? 0u : IN_MODIFY) |
                       (m_options.follow_path ? IN_DELETE_SELF | IN_MOVE_SELF : 0u);
  if (!m_options.follow_path) {
    m_folder_watch = ::inotify_add_watch(m_fd, m_folder.c_str(), mask);
    return m_folder_watch >= 0;
  }
  for (int step = 0; step < kMaxFollowSteps; ++step) {
    drop_watches();
    std::string above = m_folder;
    while (above != "/" && !is_folder(above)) above = parent_of(above);
    if (above != "/") {
      m_parent_watch = ::inotify_add_watch(m_fd, parent_of(above).c_str(), kParentEvents);
      m_watched_name = name_of(above);
    }
    if (above == m_folder) {
      m_folder_watch = ::inotify_add_watch(m_fd, m_folder.c_str(), mask);
      if (m_folder_watch >= 0) return true;
      if (errno != ENOENT && errno != ENOTDIR) return false;  // there, but not ours to watch
      continue;                                               // gone again meanwhile
    }
    int watch = ::inotify_add_watch(m_fd, above.c_str(), kAboveEvents);
    if (watch < 0) continue;
    m_above_watch = watch;
    std::size_t from = above == "/" ? 1 : above.size() + 1;
    m_awaited_name = m_folder.substr(from, m_folder.find('/', from) - from);
    // Made between the look and the watch: step down now, not at an event
    // that has already passed.
    if (!is_folder((above == "/" ? "" : above) + "/" + m_awaited_name)) return false;
  }
  drop_watches();
  return false;
}

void FolderWatcher::add_files_of_folder(std::vector<std::string>& names) const {
  DIR* dir = ::opendir(m_folder.c_str());
  if (!dir) return;
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_type == DT_DIR) continue;
    if (entry->d_type == DT_UNKNOWN && is_folder(m_folder + "/" + entry->d_name)) continue;
    names.emplace_back(entry->d_name);
  }
  ::closedir(dir);
}

bool FolderWatcher::drain() {
  // Every pending event first, so that repeated changes of a name are one.
  std::set<std::string> names;
  bool rewatch = false;
  alignas(inotify_event) char buf[16384];
  const std::uint32_t counted = kWrites | (m_options.deletions ? kDeletions : 0u);
  auto written_in_place = [&](const char* name) {
    const auto& kept_open = m_options.written_in_place;
    return std::find(kept_open.begin(), kept_open.end(), name) != kept_open.end();
  };
  while (true) {
    ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0) break;
    for (char* p = buf; p < buf + n;) {
      auto* event = reinterpret_cast<inotify_event*>(p);
      p += sizeof(inotify_event) + event->len;
      if (event->wd == m_folder_watch && m_folder_watch >= 0) {
        if (event->mask & kGone) rewatch = m_options.follow_path;
        bool named_file = event->len > 0 && !(event->mask & IN_ISDIR);
        if (named_file && ((event->mask & counted) || ((event->mask & IN_MODIFY) && written_in_place(event->name))))
          names.insert(event->name);
      } else if (event->wd == m_above_watch && m_above_watch >= 0) {
        if ((event->mask & kGone) || (event->len > 0 && m_awaited_name == event->name)) rewatch = true;
      } else if (event->wd == m_parent_watch && m_parent_watch >= 0) {
        if ((event->mask & kGone) || (event->len > 0 && m_watched_name == event->name)) rewatch = true;
      }
    }
    // A short read drained the queue; asking again would only cost a call.
    if (static_cast<std::size_t>(n) < sizeof buf - sizeof(inotify_event) - NAME_MAX - 1) break;
  }
  if (rewatch && watch_path()) {
    ++m_found_anew;
    // Whatever the folder holds now is new to whoever asked.
    std::vector<std::string> present;
    add_files_of_folder(present);
    names.insert(present.begin(), present.end());
  }
  if (names.empty()) return false;
  m_on_change(std::vector<std::string>(names.begin(), names.end()));
  return true;
}

}  // namespace px::platform::foundation
