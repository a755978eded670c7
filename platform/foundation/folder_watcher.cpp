#include "platform/foundation/folder_watcher.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <set>

#include "platform/foundation/run_loop.h"

namespace foundation {

bool make_folders(const std::string& folder) {
  for (std::size_t i = 1; i <= folder.size(); ++i)
    if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0755);
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::unique_ptr<FolderWatcher> FolderWatcher::create(const std::string& folder, Handler on_change, std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<FolderWatcher> {
    if (error) *error = "cannot watch " + folder + ": " + why;
    return nullptr;
  };
  if (!make_folders(folder)) return fail("it is not a folder and cannot be made one");
  int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  if (::inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR) < 0) {
    std::string why = std::strerror(errno);
    ::close(fd);
    return fail(why);
  }
  std::unique_ptr<FolderWatcher> watcher(new FolderWatcher(folder, fd, std::move(on_change)));
  watcher->attach_to_run_loop();
  return watcher;
}

FolderWatcher::FolderWatcher(std::string folder, int fd, Handler on_change)
    : m_folder(std::move(folder)), m_fd(fd), m_on_change(std::move(on_change)) {}

FolderWatcher::~FolderWatcher() {
  RunLoop::main().remove_fd(m_fd);
  ::close(m_fd);
}

void FolderWatcher::attach_to_run_loop() {
  RunLoop::main().add_fd(m_fd, [this] { drain(); });
}

bool FolderWatcher::drain() {
  // Every pending event first, so that repeated changes of a name are one.
  std::set<std::string> names;
  alignas(inotify_event) char buf[16384];
  while (true) {
    ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0) break;
    for (char* p = buf; p < buf + n;) {
      auto* event = reinterpret_cast<inotify_event*>(p);
      if (event->len > 0 && !(event->mask & IN_ISDIR)) names.insert(event->name);
      p += sizeof(inotify_event) + event->len;
    }
    // A short read drained the queue; asking again would only cost a call.
    if (static_cast<std::size_t>(n) < sizeof buf - sizeof(inotify_event) - NAME_MAX - 1) break;
  }
  if (names.empty()) return false;
  m_on_change(std::vector<std::string>(names.begin(), names.end()));
  return true;
}

}  // namespace foundation
