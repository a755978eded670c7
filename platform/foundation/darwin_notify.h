#pragma once
// The Darwin notification centre: system-wide, name-only notifications, with
// no daemon. Each name is one file under the device's /var/run/notify/; a post
// closes that file after opening it for writing, and every observing process
// learns of it through its FolderWatcher on its main run loop. Several posts of one name
// before the observer's loop turns are delivered once (coalesced).

#include <functional>
#include <string>
#include <string_view>

#include "platform/foundation/value.h"

namespace px::platform::foundation {

struct CFNotificationCenter;
using CFNotificationCenterRef = CFNotificationCenter*;
using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer, std::string_view name,
                                        const void* object, const Value& userInfo);

enum CFNotificationSuspensionBehavior {
  CFNotificationSuspensionBehaviorDrop = 1,
  CFNotificationSuspensionBehaviorCoalesce = 2,
  CFNotificationSuspensionBehaviorHold = 3,
  CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, std::string_view name, const void* object,
                                     int suspension_behavior);
// Darwin notifications carry no object or user info; both are ignored.
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, std::string_view name, const void* object,
                                          const Value& userInfo, bool deliver_immediately);

namespace darwin {
// Posted whenever the device's clock is set (by any process of the device).
inline constexpr std::string_view kClockSetNotification = "com.apple.system.clock_set";

// Host-side conveniences over the same mechanism.
using Handler = std::function<void(std::string_view name)>;
void observe(std::string_view name, Handler handler);
bool post(std::string_view name);
// The file that stands for a name (host path).
std::string file_for(std::string_view name);
// Serves pending notifications now (tests; the run loop does it otherwise).
void deliver_pending();
void reset_for_testing();
}  // namespace darwin

}  // namespace px::platform::foundation
