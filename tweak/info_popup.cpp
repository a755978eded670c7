#include "tweak/info_popup.h"

#include "platform/activator/la_activator.h"
#include "platform/foundation/format.h"
#include "platform/foundation/log.h"
#include "platform/foundation/user_defaults.h"
#include "platform/objc/native_class.h"
#include "platform/uikit/ui_alert_view.h"
#include "shared/names.h"
#include "tweak/power_saving_actions.h"
#include "tweak/time_remaining.h"
#include "tweak/tweak_settings.h"

namespace px::tweak {

constinit platform::objc::id listener;

namespace {

using platform::objc::id;
using platform::objc::Imp;
using platform::objc::sel;

void appendLine(std::string& message, bool shown,
                platform::foundation::FormatString<platform::foundation::Value> lineFormat, const char* key,
                platform::foundation::NSUserDefaults& defaults) {
  if (shown) message += platform::foundation::format(lineFormat, defaults.stringForKey(key));
}

void listenerLoad(id self, platform::objc::SEL) {
  id activator = platform::objc::msg_send<id>(platform::objc::objc_getClass("LAActivator"), sel("sharedInstance"));
  listener = platform::objc::msg_send<id>(self, sel("new"));
  platform::objc::msg_send<void>(activator, sel("registerListener:forName:"), listener,
                                 std::string(shared::kListenerName));
}

void listenerReceiveEvent(id self, platform::objc::SEL, id /*activator*/, id /*event*/) {
  std::string message = popupMessage();
  NSLog("Method executed!");
  auto alert = platform::uikit::UIAlertView::make("PylonexPro2", message, self, "Close", {"Enable PowerSavingMode"});
  alert->show();
  // The event's handled state is left as Activator delivered it.
}

void listenerAlertClicked(id /*self*/, platform::objc::SEL, id alert, long index) {
  auto view = platform::objc::cast<platform::uikit::UIAlertView>(alert);
  if (view && index == view->firstOtherButtonIndex()) powerSavingActions();
}

}  // namespace

std::string popupMessage() {
  auto& defaults = platform::foundation::NSUserDefaults::standardUserDefaults();
  const auto& s = TweakSettings;
  std::string message;
  if (s.capacityPOP || s.designCapacityPOP || s.cyclePOP || s.serialPOP || s.timePOP) message += "\nBattery Data: \n";
  appendLine(message, s.capacityPOP, "\nCurrent Capacity: %@ mAh\n", "Capacity", defaults);
  appendLine(message, s.designCapacityPOP, "\nDevice Capacity: %@ mAh\n", "DesignCapacity", defaults);
  appendLine(message, s.cyclePOP, "\nCycles: %@\n", "CycleCount", defaults);
  appendLine(message, s.serialPOP, "\nSerial: %@\n", "Serial", defaults);
  if (s.timePOP) message += timeRemainingLine();
  if (s.wattsPOP || s.amperagePOP) message += "\nCable Info: \n";
  appendLine(message, s.wattsPOP, "\nWatts: %@\n", "Watts", defaults);
  appendLine(message, s.amperagePOP, "\nAmperage: %@ mAh\n", "Amperage", defaults);
  return message;
}

void registerListenerClass() {
  platform::objc::Class cls = platform::objc::objc_allocateClassPair(platform::objc::NSObject_class(), "pylonexpro2");
  if (!cls) {
    // Already registered in this process (a test that restarts the tweak
    // without resetting the runtime): its load step runs again.
    if (platform::objc::Class existing = platform::objc::objc_getClass("pylonexpro2"))
      platform::objc::msg_send<void>(existing, sel("load"));
    return;
  }
  platform::activator::LAActivator::runtime_class();  // the framework is linked: its classes exist before +load asks
  platform::objc::class_addClassMethod<void>(cls, sel("load"), Imp<void>(listenerLoad));
  platform::objc::class_addMethod<void, id, id>(cls, sel("activator:receiveEvent:"),
                                                Imp<void, id, id>(listenerReceiveEvent));
  platform::objc::class_addMethod<void, id, long>(cls, sel("alertView:clickedButtonAtIndex:"),
                                                  Imp<void, id, long>(listenerAlertClicked));
  platform::objc::objc_registerClassPair(cls);
}

}  // namespace px::tweak
