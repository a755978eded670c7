// SpringBoard's private radio managers. Each switch lands in the device's
// hardware state, where the supervisor and tests read it.

#include "host/springboard/springboard_classes.h"
#include "platform/objc/native_class.h"
#include "platform/system/hardware_switches.h"

namespace px::host::springboard {
namespace {

using platform::objc::id;
using platform::objc::Imp;
using platform::objc::sel;

void define_switch(const char* class_name, const char* shared_selector, const char* setter,
                   platform::system::Switch which) {
  platform::objc::Class cls = host_class(class_name, platform::objc::NSObject_class());
  std::string name = class_name;
  platform::objc::class_addClassMethod<id>(
      cls, sel(shared_selector), Imp<id>([name](id, platform::objc::SEL) { return shared_instance(name.c_str()); }));
  platform::objc::class_addMethod<void, bool>(
      cls, sel(setter),
      Imp<void, bool>([which](id, platform::objc::SEL, bool on) { platform::system::set_on(which, on); }));
}

}  // namespace

void register_radio_classes() {
  define_switch("SBWiFiManager", "sharedInstance", "setWiFiEnabled:", platform::system::Switch::wifi);
  define_switch("SBTelephonyManager", "sharedTelephonyManager",
                "setIsInAirplaneMode:", platform::system::Switch::airplane);
  define_switch("BluetoothManager", "sharedInstance", "setEnabled:", platform::system::Switch::bluetooth);
}

}  // namespace px::host::springboard
