#pragma once
// The battery status observer: every "SBUIBatteryStatusChangedNotification"
// on SpringBoard's default centre is kept in `notify`, six of its values are
// mirrored into SpringBoard's standard defaults, and the whole status
// replaces the battery data file.

#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

namespace px::tweak {

// Registers the observer for every notification (no name, object or queue).
// Once per launch, from the applicationDidFinishLaunching: replacement.
void registerBatteryStatusObserver();

// What the observer does with one notification, writing into `defaults`.
void handleBatteryNotification(const platform::foundation::NSNotification& notification,
                               platform::foundation::NSUserDefaults& defaults);

}  // namespace px::tweak
