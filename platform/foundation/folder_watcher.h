#pragma once
// One folder watched for changed files, on the process's main run loop — the
// one way a process of the device learns that another one wrote a file
// (Darwin notifications, the battery entry, recordings).
//
// Contract:
// - A change is a file of the folder closed after writing, or a file moved
//   (renamed) into it — an atomic replacement is one change. Sub-folders,
//   deletions and reads are not changes.
// - `on_change` gets the names (not paths) changed since the last report,
//   each once however often it changed, in sorted order. It runs on the main
//   run loop's thread: from RunLoop::main() as the loop turns, or inside
//   drain(); never from another thread.
// - create() makes the folder (and its parents) when missing, and fails —
//   nothing, with the reason in `error` — when it cannot be made or watched.
// - The watcher has no timers: tests drive it with drain() or the loop's
//   run_until_idle(), under the manual clock, with no sleeping.
// - Destroying the watcher removes it from the run loop; nothing is reported
//   after that.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace foundation {

class FolderWatcher {
 public:
  using Handler = std::function<void(const std::vector<std::string>& names)>;

  // `folder` is a host path (device paths go through device_path first).
  static std::unique_ptr<FolderWatcher> create(const std::string& folder, Handler on_change, std::string* error);
  ~FolderWatcher();
  FolderWatcher(const FolderWatcher&) = delete;
  FolderWatcher& operator=(const FolderWatcher&) = delete;

  const std::string& folder() const { return m_folder; }
  // Reports every change already signalled, now, without waiting; false
  // when there was none.
  bool drain();
  // Puts the watcher on the main run loop again (after a test reset the loop).
  void attach_to_run_loop();

 private:
  FolderWatcher(std::string folder, int fd, Handler on_change);
  std::string m_folder;
  int m_fd;
  Handler m_on_change;
};

// Makes `folder` and its missing parents (mode 0755); false when it is still
// not a folder afterwards.
bool make_folders(const std::string& folder);

}  // namespace foundation
