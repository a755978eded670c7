#include "host/springboard/battery_watcher.h"

#include <algorithm>
#include <string>

#include "host/springboard/springboard_state.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"
#include "shared/names.h"

namespace px::host::springboard {
bool handle_battery_entry() {
  platform::foundation::Value entry = platform::sim::battery_entry();
  if (!entry.is_dictionary()) return false;
  platform::foundation::Value status = entry["Status"];
  if (!status.is_dictionary()) status = platform::foundation::Value();
  platform::foundation::NSNotificationCenter::defaultCenter().postNotificationName(
      shared::kBatteryStatusChangedNotification, nullptr, status);
  platform::objc::msg_send<void>(shared_instance("SBUIController"), platform::objc::sel("updateBatteryState:"),
                                 platform::objc::id{});
  state().battery_generation = entry["Generation"].longLongValue();
  return true;
}

BatteryWatcher::BatteryWatcher() {
  auto watcher = platform::foundation::FolderWatcher::create(
      platform::sim::DevicePath(platform::sim::kHardwareFolder).host(), [](const std::vector<std::string>& names) {
        if (std::binary_search(names.begin(), names.end(), platform::sim::kBatteryEntryName)) handle_battery_entry();
      });
  if (watcher)
    m_watcher = std::move(*watcher);
  else
    platform::foundation::log_line(watcher.message());
}

BatteryWatcher::~BatteryWatcher() = default;

void BatteryWatcher::drain() {
  if (m_watcher) m_watcher->drain();
}

}  // namespace px::host::springboard
