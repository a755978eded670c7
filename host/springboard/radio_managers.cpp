// SpringBoard's private radio managers. Each switch lands in the device's
// hardware state, where the supervisor and tests read it.

#include "host/springboard/springboard_classes.h"
#include "platform/objc/native_class.h"
#include "platform/system/hardware_switches.h"

namespace springboard {
namespace {

using objc::id;
using objc::Imp;
using objc::sel;

void define_switch(const char* class_name, const char* shared_selector, const char* setter, hardware::Switch which) {
  objc::Class cls = host_class(class_name, objc::NSObject_class());
  std::string name = class_name;
  objc::class_addClassMethod<id>(cls, sel(shared_selector),
                                 Imp<id>([name](id, objc::SEL) { return shared_instance(name.c_str()); }));
  objc::class_addMethod<void, bool>(cls, sel(setter),
                                    Imp<void, bool>([which](id, objc::SEL, bool on) { hardware::set_on(which, on); }));
}

}  // namespace

void register_radio_classes() {
  define_switch("SBWiFiManager", "sharedInstance", "setWiFiEnabled:", hardware::Switch::wifi);
  define_switch("SBTelephonyManager", "sharedTelephonyManager", "setIsInAirplaneMode:", hardware::Switch::airplane);
  define_switch("BluetoothManager", "sharedInstance", "setEnabled:", hardware::Switch::bluetooth);
}

}  // namespace springboard
