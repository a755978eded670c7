#include "tweak/battery_status_observer.h"

#include "platform/foundation/log.h"
#include "platform/foundation/property_list_files.h"
#include "shared/names.h"
#include "tweak/battery_history.h"
#include "tweak/time_remaining.h"
#include "tweak/tweak_settings.h"
#include "tweak/tweak_state.h"

namespace pylonexpro2 {

void handleBatteryNotification(const foundation::NSNotification& notification, foundation::NSUserDefaults& defaults) {
  if (notification.name != px::kBatteryStatusChangedNotification) return;
  // A broadcast without a status dictionary carries nothing to record:
  // emptying the mirrors while the data file keeps the last status would
  // leave the popup and the panes disagreeing, so it changes nothing at all.
  if (!notification.userInfo.is_dictionary()) return;

  notify = notification.userInfo;
  if (TweakSettings.debugMode) NSLog("PylonexPro2 Stats: %@", notify);

  const foundation::Value& adapter = notify["AdapterDetails"];
  defaults.setObject(notify["AppleRawCurrentCapacity"], "Capacity");
  defaults.setObject(notify["DesignCapacity"], "DesignCapacity");
  defaults.setObject(notify["CycleCount"], "CycleCount");
  defaults.setObject(notify["Serial"], "Serial");
  defaults.setObject(adapter["Watts"], "Watts");
  defaults.setObject(adapter["Amperage"], "Amperage");
  defaults.synchronize();

  // The data file comes first: the history leaves it room (see HistoryWriter::Options).
  if (!foundation::writeToFile(notify, sim::DevicePath(px::kBatteryDataFile), true))
    logFailureOnce("battery data file not written", std::string(px::kBatteryDataFile));
  rememberBatteryStatus(notify);
  // After the data file: whatever the store does, the file and mirrors are written.
  if (TweakSettings.keepHistory) recordBatteryHistory(notify);
}

void registerBatteryStatusObserver() {
  // The standard defaults are looked up on each broadcast, never kept: a copy
  // kept from start-up would later save over what was written since.
  foundation::NSNotificationCenter::defaultCenter().addObserverForName(
      std::nullopt, nullptr, [](const foundation::NSNotification& n) {
        handleBatteryNotification(n, foundation::NSUserDefaults::standardUserDefaults());
      });
}

}  // namespace pylonexpro2
