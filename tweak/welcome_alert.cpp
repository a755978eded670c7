// The first-unlock welcome alert, living on SBLockScreenViewController: the
// prepareForUIUnlock replacement greets once (HasLaunchedOnce in
// SpringBoard's defaults), and the added alert-delegate method opens the
// add-on's settings pane.

#include "platform/foundation/user_defaults.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "shared/names.h"
#include "tweak/hook_table.h"

namespace px::tweak {

void lockScreen_prepareForUIUnlock(platform::objc::id self, platform::objc::SEL cmd) {
  auto& defaults = platform::foundation::NSUserDefaults::standardUserDefaults();
  if (!defaults.boolForKey("HasLaunchedOnce")) {
    // Recorded before the alert shows, so a restart while it is on screen
    // never greets twice.
    defaults.setBool(true, "HasLaunchedOnce");
    defaults.synchronize();
    auto alert = platform::uikit::UIAlertView::make(
        "PylonexPro2",
        "Thanks for the purchase! PylonexPro2 was installed correctly on your device, to enable it or set it go to "
        "Settings > PylonexPro2.",
        self, "Close", {"Open Settings"});
    alert->show();
  }
  if (orig_prepareForUIUnlock) (*orig_prepareForUIUnlock)(self, cmd);
}

void lockScreen_alertViewClickedButtonAtIndex(platform::objc::id /*self*/, platform::objc::SEL,
                                              platform::objc::id alert, long index) {
  auto view = platform::objc::cast<platform::uikit::UIAlertView>(alert);
  if (view && index == view->firstOtherButtonIndex())
    platform::uikit::UIApplication::sharedApplication()->openURL(shared::kSettingsURL);
}

}  // namespace px::tweak
