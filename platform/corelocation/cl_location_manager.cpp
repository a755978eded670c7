#include "platform/corelocation/cl_location_manager.h"

#include "platform/system/hardware_state.h"

namespace corelocation {

objc::Class CLLocationManager::runtime_class() {
  if (objc::Class c = objc::objc_getClass("CLLocationManager")) return c;
  objc::Class c = objc::native_class("CLLocationManager");
  objc::class_addClassMethod<void, bool>(
      c, objc::sel("setLocationServicesEnabled:"),
      objc::Imp<void, bool>([](objc::id, objc::SEL, bool on) { setLocationServicesEnabled(on); }));
  objc::class_addClassMethod<bool>(c, objc::sel("locationServicesEnabled"),
                                   objc::Imp<bool>([](objc::id, objc::SEL) { return locationServicesEnabled(); }));
  return c;
}

void CLLocationManager::setLocationServicesEnabled(bool enabled) {
  hardware::set("location", foundation::Value(enabled));
}

bool CLLocationManager::locationServicesEnabled() {
  foundation::Value v = hardware::get("location");
  return v.is_nil() ? true : v.boolValue();
}

}  // namespace corelocation
