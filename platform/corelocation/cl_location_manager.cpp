#include "platform/corelocation/cl_location_manager.h"

#include "platform/system/hardware_switches.h"

namespace px::platform::corelocation {

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

void CLLocationManager::setLocationServicesEnabled(bool enabled) { system::set_on(system::Switch::location, enabled); }

bool CLLocationManager::locationServicesEnabled() { return system::is_on(system::Switch::location); }

}  // namespace px::platform::corelocation
