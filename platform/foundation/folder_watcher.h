#pragma once
// One folder watched for changed files, on a run loop (the process's main
// one unless told otherwise) — the one way a process of the device learns
// that another one wrote a file (Darwin notifications, the battery entry,
// recordings, the web page's live state).
//
// Contract:
// - A change is a file of the folder closed after writing, or a file moved
//   (renamed) into it — an atomic replacement is one change. Sub-folders and
//   reads are not changes; deletions are only when asked for, and so are
//   writes to files kept open (FolderWatchOptions::written_in_place).
// - `on_change` gets the names (not paths) changed since the last report,
//   each once however often it changed, in sorted order. It runs on the
//   watcher's run loop's thread: from that loop as it turns, or inside
//   drain(); never from another thread.
// - create() makes the folder (and its parents) when missing, and fails —
//   with a code and the reason — when it cannot be made or watched.
// - Following the path (FolderWatchOptions::follow_path) is for a watcher
//   that must not make folders and must outlive them: a folder missing now,
//   or removed later (a device wiped and made again), is watched from the
//   moment it exists again, and the files it then holds are reported as
//   changed. Until then the nearest folder above it that exists is watched
//   for it. (A folder above it renamed away is not noticed: removal is.)
// - The watcher has no timers: tests drive it with drain() or the loop's
//   run_until_idle(), under the manual clock, with no sleeping.
// - Destroying the watcher removes it from its run loop; nothing is reported
//   after that.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/result.h"

namespace px::platform::foundation {

class RunLoop;

struct FolderWatchOptions {
  // Files deleted or moved out of the folder are changes too.
  bool deletions = false;
  // The folder is never made; missing or removed, it is watched again once it exists.
  bool follow_path = false;
  // The loop that serves the watcher; null: RunLoop::main().
  RunLoop* loop = nullptr;
  // Names of files a writer keeps open and writes in place (a database's
  // log): never closed after writing, so each write to one is a change.
  std::vector<std::string> written_in_place = {};
};

class FolderWatcher {
 public:
  using Handler = std::function<void(const std::vector<std::string>& names)>;

  // `folder` is a host path (device paths go through device_path first).
  static Result<std::unique_ptr<FolderWatcher>> create(const std::string& folder, Handler on_change,
                                                       const FolderWatchOptions& options = {});
  ~FolderWatcher();
  FolderWatcher(const FolderWatcher&) = delete;
  FolderWatcher& operator=(const FolderWatcher&) = delete;

  const std::string& folder() const { return m_folder; }
  // Whether the folder itself is watched now (false while a followed path
  // waits for it to exist).
  bool watching_folder() const { return m_folder_watch >= 0; }
  // How often a followed folder was found anew (made after the watcher
  // started, or made again after it was removed), however quickly that was.
  std::uint64_t times_found_anew() const { return m_found_anew; }
  // Reports every change already signalled, now, without waiting; false
  // when there was none.
  bool drain();
  // Puts the watcher on its run loop again (after a test reset the loop).
  void attach_to_run_loop();

 private:
  FolderWatcher(std::string folder, int fd, Handler on_change, const FolderWatchOptions& options);
  void drop_watches();
  // Watches the folder, or the nearest existing folder above it; true when
  // the folder itself is watched.
  bool watch_path();
  void add_files_of_folder(std::vector<std::string>& names) const;

  std::string m_folder;
  int m_fd;
  Handler m_on_change;
  FolderWatchOptions m_options;
  int m_folder_watch = -1;
  // While following: the watch on the nearest existing folder above, and the
  // name in it that leads down to the folder.
  int m_above_watch = -1;
  std::string m_awaited_name;
  // While following: the watch on the parent of the folder watched (the
  // folder, or the one above it), and that folder's name in it.
  int m_parent_watch = -1;
  std::string m_watched_name;
  std::uint64_t m_found_anew = 0;
};

// Makes `folder` and its missing parents (mode 0755); false when it is still
// not a folder afterwards.
bool make_folders(const std::string& folder);

}  // namespace px::platform::foundation
