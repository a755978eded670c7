#include "host/springboard/springboard_classes.h"

#include "host/springboard/battery_watcher.h"
#include "platform/foundation/log.h"
#include "platform/objc/native_class.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"

namespace px::host::springboard {
namespace {

using platform::objc::id;
using platform::objc::Imp;
using platform::objc::sel;

void add_shared_instance(platform::objc::Class cls, const char* selector) {
  std::string name = cls->name();
  platform::objc::class_addClassMethod<id>(
      cls, sel(selector), Imp<id>([name](id, platform::objc::SEL) { return shared_instance(name.c_str()); }));
}

void springboard_did_finish_launching(id self, platform::objc::SEL, id) {
  auto& s = state();
  s.launches++;
  platform::uikit::UIDevice::currentDevice()->setBatteryMonitoringEnabled(true);
  handle_battery_entry();
  id aggregator = shared_instance("SBStatusBarStateAggregator");
  platform::objc::msg_send<void>(aggregator, sel("_updateTimeItems"));
  platform::objc::msg_send<void>(aggregator, sel("_resetTimeItemFormatter"));
  platform::objc::msg_send<void>(aggregator, sel("_updateTimeItems"));
  s.launched = true;
  platform::foundation::log_line("SpringBoard: finished launching");
  if (s.safe_mode) {
    platform::uikit::UIAlertView::make(
        "SpringBoard",
        "SpringBoard is in Safe Mode because of repeated crashes. Tweaks are not loaded. "
        "Respring to leave Safe Mode.",
        nullptr, "OK", {})
        ->show();
  }
}

void ui_controller_update_battery_state(id, platform::objc::SEL, id) {
  auto& s = state();
  s.battery_updates++;
  s.last_battery_level = platform::uikit::UIDevice::currentDevice()->batteryLevel();
}

void lock_screen_prepare_for_unlock(id, platform::objc::SEL) {
  auto& s = state();
  s.unlock_preparations++;
  s.alerts_at_last_unlock_preparation = platform::uikit::AlertPresenter::shared().visible().size();
}

}  // namespace

void register_application_classes() {
  platform::objc::Class app = host_class("SpringBoard", platform::uikit::UIApplication::runtime_class());
  platform::objc::class_addMethod<void, id>(app, sel("applicationDidFinishLaunching:"),
                                            Imp<void, id>(springboard_did_finish_launching));
  // SpringBoard is the process's application object.
  platform::uikit::UIApplication::sharedApplication()->set_isa(app);
  state().shared["SpringBoard"] = platform::uikit::UIApplication::sharedApplication();

  platform::objc::Class ui = host_class("SBUIController", platform::objc::NSObject_class());
  add_shared_instance(ui, "sharedInstance");
  platform::objc::class_addMethod<void, id>(ui, sel("updateBatteryState:"),
                                            Imp<void, id>(ui_controller_update_battery_state));

  platform::objc::Class lock = host_class("SBLockScreenViewController", platform::objc::NSObject_class());
  add_shared_instance(lock, "sharedInstance");
  platform::objc::class_addMethod<void>(lock, sel("prepareForUIUnlock"), Imp<void>(lock_screen_prepare_for_unlock));
}

platform::objc::Class host_class(const char* name, platform::objc::Class superclass) {
  if (platform::objc::Class existing = platform::objc::objc_getClass(name)) return existing;
  return platform::objc::define_class(name, superclass);
}

void register_springboard_classes() {
  reset_state();
  register_application_classes();
  register_status_bar_classes();
  register_radio_classes();
  register_bulletin_classes();
}

}  // namespace px::host::springboard
