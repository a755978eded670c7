#pragma once
// UIDevice: the battery as the platform reports it. Battery monitoring is a
// per-process switch; while it is off the level reads -1.0 and the state
// unknown, as on the device. Values come from the device's battery entry.

#include <memory>
#include <string>

#include "platform/objc/native_class.h"

namespace px::platform::uikit {

enum UIDeviceBatteryState {
  UIDeviceBatteryStateUnknown = 0,
  UIDeviceBatteryStateUnplugged = 1,
  UIDeviceBatteryStateCharging = 2,
  UIDeviceBatteryStateFull = 3
};

class UIDevice : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIDevice> currentDevice();

  bool isBatteryMonitoringEnabled() const { return m_monitoring; }
  void setBatteryMonitoringEnabled(bool on) { m_monitoring = on; }
  // 0.0 to 1.0, or -1.0 while monitoring is off or the level is unknown.
  float batteryLevel() const;
  int batteryState() const;

  void reset_for_testing() { m_monitoring = false; }

 private:
  bool m_monitoring = false;
};

}  // namespace px::platform::uikit
