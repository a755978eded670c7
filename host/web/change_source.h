#pragma once
// How the server learns that the device changed: the folders it watches, and
// a callback on every change. Nothing is polled; the source blocks until the
// kernel reports something.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace px::host::web {

class ChangeSource {
 public:
  // `folders_remade`: a watched folder that was missing (never made yet, or
  // removed with the device) exists again.
  using ChangeHandler = std::function<void(bool folders_remade)>;

  virtual ~ChangeSource() = default;
  // Starts watching `device_folders` (device paths; those missing now are
  // watched once they appear, those removed once they are made again) and
  // calls `on_change` from the source's own thread after each batch of
  // changes. False when nothing can be watched.
  virtual bool start(std::vector<std::string> device_folders, ChangeHandler on_change) = 0;
  virtual void stop() = 0;
};

// The folders whose changes the page shows: the hardware state, the screen
// state SpringBoard and the Settings app publish, the process ids, the
// preference files, the add-on's battery data file and history store, and
// the syslog.
std::vector<std::string> watched_device_folders();

std::unique_ptr<ChangeSource> make_change_source();

}  // namespace px::host::web
