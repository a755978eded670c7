#include "host/springboard/battery_watcher.h"

#include <algorithm>
#include <string>

#include "host/springboard/springboard_state.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"
#include "shared/names.h"

namespace springboard {
bool handle_battery_entry() {
  foundation::Value entry = sim::battery_entry();
  if (!entry.is_dictionary()) return false;
  foundation::Value status = entry["Status"];
  if (!status.is_dictionary()) status = foundation::Value();
  foundation::NSNotificationCenter::defaultCenter().postNotificationName(px::kBatteryStatusChangedNotification, nullptr,
                                                                         status);
  objc::msg_send<void>(shared_instance("SBUIController"), objc::sel("updateBatteryState:"), objc::id{});
  state().battery_generation = entry["Generation"].longLongValue();
  return true;
}

BatteryWatcher::BatteryWatcher() {
  auto watcher = foundation::FolderWatcher::create(
      sim::DevicePath(sim::kHardwareFolder).host(), [](const std::vector<std::string>& names) {
        if (std::binary_search(names.begin(), names.end(), sim::kBatteryEntryName)) handle_battery_entry();
      });
  if (watcher)
    m_watcher = std::move(*watcher);
  else
    foundation::log_line(watcher.message());
}

BatteryWatcher::~BatteryWatcher() = default;

void BatteryWatcher::drain() {
  if (m_watcher) m_watcher->drain();
}

}  // namespace springboard
