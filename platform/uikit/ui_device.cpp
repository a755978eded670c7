#include "platform/uikit/ui_device.h"

#include "platform/sim/hardware/hardware_state.h"

namespace px::platform::uikit {

objc::Class UIDevice::runtime_class() { return objc::native_class("UIDevice"); }

std::shared_ptr<UIDevice> UIDevice::currentDevice() {
  static std::shared_ptr<UIDevice> device = objc::make_native<UIDevice>();
  if (device->isa() != runtime_class()) device->set_isa(runtime_class());  // after a runtime reset in tests
  return device;
}

float UIDevice::batteryLevel() const {
  if (!m_monitoring) return -1.0f;
  foundation::Value level = sim::battery_entry()["Level"];
  if (!level.is_number()) return -1.0f;
  return level.floatValue();
}

int UIDevice::batteryState() const {
  if (!m_monitoring) return UIDeviceBatteryStateUnknown;
  int state = sim::battery_entry()["State"].intValue();
  return state >= 0 && state <= 3 ? state : UIDeviceBatteryStateUnknown;
}

}  // namespace px::platform::uikit
