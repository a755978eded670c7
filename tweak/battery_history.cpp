#include "tweak/battery_history.h"

#include <cmath>
#include <set>
#include <string>

#include "history/store.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/log.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_device.h"
#include "shared/battery_level.h"
#include "shared/names.h"

namespace px::tweak {

namespace {

history::HistoryWriter& writer() {
  static history::HistoryWriter w;
  return w;
}

// The kinds of failure already logged in this run: a store that stays broken
// writes one line, not one per broadcast.
std::set<std::string>& logged() {
  static std::set<std::string> kinds;
  return kinds;
}

void logOnce(const std::string& kind, const std::string& detail) { logFailureOnce("battery history " + kind, detail); }

void clearHistory(platform::foundation::CFNotificationCenterRef, void*, std::string_view, const void*,
                  const platform::foundation::Value&) {
  history::StoreResult<> cleared = writer().clear(static_cast<std::int64_t>(std::floor(platform::sim::device_now())));
  if (cleared.ok())
    NSLog("PylonexPro2 : battery history cleared");
  else
    logOnce("not cleared", cleared.error().detail);
}

}  // namespace

void logFailureOnce(const std::string& what, const std::string& detail) {
  if (!logged().insert(what).second) return;
  NSLog("PylonexPro2 : %@ (%@)", platform::foundation::Value(what), platform::foundation::Value(detail));
}

void recordBatteryHistory(const platform::foundation::Value& status) {
  double now = platform::sim::device_now();
  std::optional<std::int32_t> level = shared::level_percent(platform::uikit::UIDevice::currentDevice()->batteryLevel());
  history::Sample sample = history::sample_from_status(status, level, now);
  history::RecordResult result = writer().record(sample, static_cast<std::int64_t>(std::floor(now)));
  if (result.replaced_corrupt) {
    // Every replacement is worth a line (the move itself logged where the old store went).
    NSLog("PylonexPro2 : battery history was damaged; a new one started");
  }
  if (!result.status.ok()) logOnce(history::problem_name(result.status.error().problem), result.status.error().detail);
}

void startBatteryHistory() {
  void (*callback)(platform::foundation::CFNotificationCenterRef, void*, std::string_view, const void*,
                   const platform::foundation::Value&) = clearHistory;
  platform::foundation::CFNotificationCenterAddObserver(
      platform::foundation::CFNotificationCenterGetDarwinNotifyCenter(), nullptr, callback,
      shared::kClearHistoryNotification, nullptr, platform::foundation::CFNotificationSuspensionBehaviorCoalesce);
}

void resetBatteryHistory() {
  writer().close();
  logged().clear();
}

}  // namespace px::tweak
