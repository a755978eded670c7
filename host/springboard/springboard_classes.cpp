#include "host/springboard/springboard_classes.h"

#include "host/springboard/battery_watcher.h"
#include "platform/foundation/log.h"
#include "platform/objc/native_class.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"

namespace springboard {
namespace {

using objc::id;
using objc::Imp;
using objc::sel;

void add_shared_instance(objc::Class cls, const char* selector) {
  std::string name = cls->name();
  objc::class_addClassMethod<id>(cls, sel(selector),
                                 Imp<id>([name](id, objc::SEL) { return shared_instance(name.c_str()); }));
}

void springboard_did_finish_launching(id self, objc::SEL, id) {
  auto& s = state();
  s.launches++;
  uikit::UIDevice::currentDevice()->setBatteryMonitoringEnabled(true);
  handle_battery_entry();
  id aggregator = shared_instance("SBStatusBarStateAggregator");
  objc::msg_send<void>(aggregator, sel("_updateTimeItems"));
  objc::msg_send<void>(aggregator, sel("_resetTimeItemFormatter"));
  objc::msg_send<void>(aggregator, sel("_updateTimeItems"));
  s.launched = true;
  foundation::log_line("SpringBoard: finished launching");
  if (s.safe_mode) {
    uikit::UIAlertView::make("SpringBoard",
                             "SpringBoard is in Safe Mode because of repeated crashes. Tweaks are not loaded. "
                             "Respring to leave Safe Mode.",
                             nullptr, "OK", {})
        ->show();
  }
}

void ui_controller_update_battery_state(id, objc::SEL, id) {
  auto& s = state();
  s.battery_updates++;
  s.last_battery_level = uikit::UIDevice::currentDevice()->batteryLevel();
}

void lock_screen_prepare_for_unlock(id, objc::SEL) {
  auto& s = state();
  s.unlock_preparations++;
  s.alerts_at_last_unlock_preparation = uikit::AlertPresenter::shared().visible().size();
}

}  // namespace

void register_application_classes() {
  objc::Class app = host_class("SpringBoard", uikit::UIApplication::runtime_class());
  objc::class_addMethod<void, id>(app, sel("applicationDidFinishLaunching:"),
                                  Imp<void, id>(springboard_did_finish_launching));
  // SpringBoard is the process's application object.
  uikit::UIApplication::sharedApplication()->set_isa(app);
  state().shared["SpringBoard"] = uikit::UIApplication::sharedApplication();

  objc::Class ui = host_class("SBUIController", objc::NSObject_class());
  add_shared_instance(ui, "sharedInstance");
  objc::class_addMethod<void, id>(ui, sel("updateBatteryState:"), Imp<void, id>(ui_controller_update_battery_state));

  objc::Class lock = host_class("SBLockScreenViewController", objc::NSObject_class());
  add_shared_instance(lock, "sharedInstance");
  objc::class_addMethod<void>(lock, sel("prepareForUIUnlock"), Imp<void>(lock_screen_prepare_for_unlock));
}

objc::Class host_class(const char* name, objc::Class superclass) {
  if (objc::Class existing = objc::objc_getClass(name)) return existing;
  return objc::define_class(name, superclass);
}

void register_springboard_classes() {
  reset_state();
  register_application_classes();
  register_status_bar_classes();
  register_radio_classes();
  register_bulletin_classes();
}

}  // namespace springboard
