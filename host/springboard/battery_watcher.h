#pragma once
// SpringBoard's side of the battery: it watches the battery entry the
// supervisor's driver replaces (<root>/var/run/hardware/battery.plist) and,
// on every change, broadcasts "SBUIBatteryStatusChangedNotification" with the
// entry's Status as user info (none when absent), then sends
// updateBatteryState: to its SBUIController.

#include <memory>

#include "platform/foundation/folder_watcher.h"

namespace px::host::springboard {

// Handles the entry as it stands now; false when there is no readable entry.
bool handle_battery_entry();

class BatteryWatcher {
 public:
  BatteryWatcher();
  ~BatteryWatcher();
  BatteryWatcher(const BatteryWatcher&) = delete;
  BatteryWatcher& operator=(const BatteryWatcher&) = delete;

  bool watching() const { return m_watcher != nullptr; }
  // Handles every change already signalled; several changes since the last
  // turn of the loop are one handling of the newest entry.
  void drain();

 private:
  std::unique_ptr<platform::foundation::FolderWatcher> m_watcher;
};

}  // namespace px::host::springboard
