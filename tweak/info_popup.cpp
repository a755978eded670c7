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

namespace pylonexpro2 {

constinit objc::id listener;

namespace {

using objc::id;
using objc::Imp;
using objc::sel;

void appendLine(std::string& message, bool shown, foundation::FormatString<foundation::Value> lineFormat,
                const char* key, foundation::NSUserDefaults& defaults) {
  if (shown) message += foundation::format(lineFormat, defaults.stringForKey(key));
}

void listenerLoad(id self, objc::SEL) {
  id activator = objc::msg_send<id>(objc::objc_getClass("LAActivator"), sel("sharedInstance"));
  listener = objc::msg_send<id>(self, sel("new"));
  objc::msg_send<void>(activator, sel("registerListener:forName:"), listener, std::string(px::kListenerName));
}

void listenerReceiveEvent(id self, objc::SEL, id /*activator*/, id /*event*/) {
  std::string message = popupMessage();
  NSLog("Method executed!");
  auto alert = uikit::UIAlertView::make("PylonexPro2", message, self, "Close", {"Enable PowerSavingMode"});
  alert->show();
  // The event's handled state is left as Activator delivered it.
}

void listenerAlertClicked(id /*self*/, objc::SEL, id alert, long index) {
  auto view = objc::cast<uikit::UIAlertView>(alert);
  if (view && index == view->firstOtherButtonIndex()) powerSavingActions();
}

}  // namespace

std::string popupMessage() {
  auto& defaults = foundation::NSUserDefaults::standardUserDefaults();
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
  objc::Class cls = objc::objc_allocateClassPair(objc::NSObject_class(), "pylonexpro2");
  if (!cls) {
    // Already registered in this process (a test that restarts the tweak
    // without resetting the runtime): its load step runs again.
    if (objc::Class existing = objc::objc_getClass("pylonexpro2")) objc::msg_send<void>(existing, sel("load"));
    return;
  }
  activator::LAActivator::runtime_class();  // the framework is linked: its classes exist before +load asks
  objc::class_addClassMethod<void>(cls, sel("load"), Imp<void>(listenerLoad));
  objc::class_addMethod<void, id, id>(cls, sel("activator:receiveEvent:"), Imp<void, id, id>(listenerReceiveEvent));
  objc::class_addMethod<void, id, long>(cls, sel("alertView:clickedButtonAtIndex:"),
                                        Imp<void, id, long>(listenerAlertClicked));
  objc::objc_registerClassPair(cls);
}

}  // namespace pylonexpro2
