// SpringBoard's private radio managers. Each switch lands in the device's
// hardware state, where the supervisor and tests read it.

#include "host/springboard/springboard_classes.h"
#include "platform/objc/native_class.h"
#include "platform/system/hardware_state.h"

namespace springboard {
namespace {

using objc::id;
using objc::Imp;
using objc::sel;

void define_switch(const char* class_name, const char* shared_selector, const char* setter, const char* hardware_name) {
  objc::Class cls = host_class(class_name, objc::NSObject_class());
  std::string name = class_name;
  objc::class_addClassMethod<id>(cls, sel(shared_selector),
                                 Imp<id>([name](id, objc::SEL) { return shared_instance(name.c_str()); }));
  std::string hw = hardware_name;
  objc::class_addMethod<void, bool>(
      cls, sel(setter), Imp<void, bool>([hw](id, objc::SEL, bool on) { hardware::set(hw, foundation::Value(on)); }));
}

}  // namespace

void register_radio_classes() {
  define_switch("SBWiFiManager", "sharedInstance", "setWiFiEnabled:", "wifi");
  define_switch("SBTelephonyManager", "sharedTelephonyManager", "setIsInAirplaneMode:", "airplane");
  define_switch("BluetoothManager", "sharedInstance", "setEnabled:", "bluetooth");
}

}  // namespace springboard
