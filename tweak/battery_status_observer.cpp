#include "tweak/battery_status_observer.h"

#include "platform/foundation/log.h"
#include "platform/foundation/property_list_files.h"
#include "shared/names.h"
#include "tweak/battery_history.h"
#include "tweak/time_remaining.h"
#include "tweak/tweak_settings.h"
#include "tweak/tweak_state.h"

namespace px::tweak {

void handleBatteryNotification(const platform::foundation::NSNotification& notification,
                               platform::foundation::NSUserDefaults& defaults) {
  if (notification.name != shared::kBatteryStatusChangedNotification) return;
  // A broadcast without a status dictionary carries nothing to record:
  // emptying the mirrors while the data file keeps the last status would
  // leave the popup and the panes disagreeing, so it changes nothing at all.
  if (!notification.userInfo.is_dictionary()) return;

  notify = notification.userInfo;
  if (TweakSettings.debugMode) NSLog("PylonexPro2 Stats: %@", notify);

  const platform::foundation::Value& adapter = notify["AdapterDetails"];
  defaults.setObject(notify["AppleRawCurrentCapacity"], "Capacity");
  defaults.setObject(notify["DesignCapacity"], "DesignCapacity");
  defaults.setObject(notify["CycleCount"], "CycleCount");
  defaults.setObject(notify["Serial"], "Serial");
  defaults.setObject(adapter["Watts"], "Watts");
  defaults.setObject(adapter["Amperage"], "Amperage");
  defaults.synchronize();

  // The data file comes first: the history leaves it room (see HistoryWriter::Options).
  if (!platform::foundation::writeToFile(notify, platform::sim::DevicePath(shared::kBatteryDataFile), true))
    logFailureOnce("battery data file not written", std::string(shared::kBatteryDataFile));
  rememberBatteryStatus(notify);
  // After the data file: whatever the store does, the file and mirrors are written.
  if (TweakSettings.keepHistory) recordBatteryHistory(notify);
}

void registerBatteryStatusObserver() {
  // The standard defaults are looked up on each broadcast, never kept: a copy
  // kept from start-up would later save over what was written since.
  platform::foundation::NSNotificationCenter::defaultCenter().addObserverForName(
      std::nullopt, nullptr, [](const platform::foundation::NSNotification& n) {
        handleBatteryNotification(n, platform::foundation::NSUserDefaults::standardUserDefaults());
      });
}

}  // namespace px::tweak
