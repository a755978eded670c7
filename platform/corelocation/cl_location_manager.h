#pragma once
// CLLocationManager's device-wide switch for Location Services, kept in the
// device's hardware state as "location".
//   +[CLLocationManager setLocationServicesEnabled:]  Imp<void, bool>
//   +[CLLocationManager locationServicesEnabled]      Imp<bool>

#include "platform/objc/native_class.h"

namespace px::platform::corelocation {

class CLLocationManager : public objc::Object {
 public:
  static objc::Class runtime_class();
  static void setLocationServicesEnabled(bool enabled);
  // On when the device never switched it (as a fresh device has it).
  static bool locationServicesEnabled();
};

}  // namespace px::platform::corelocation
