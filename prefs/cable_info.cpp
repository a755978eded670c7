// CableInfo: whether the device is charging now, and the charger details the
// tweak last recorded.

#include "platform/foundation/format.h"
#include "platform/foundation/log.h"
#include "platform/uikit/ui_device.h"
#include "prefs/battery_figures.h"
#include "prefs/pane_support.h"
#include "prefs/panes.h"

namespace px::prefs {
namespace {

using platform::foundation::format;
using platform::foundation::Value;

Value adapter(const char* key) { return battery_data()["AdapterDetails"][key]; }

Value link_row() {
  auto device = platform::uikit::UIDevice::currentDevice();
  device->setBatteryMonitoringEnabled(true);
  const char* text = "Not Connected";
  if (device->batteryState() == platform::uikit::UIDeviceBatteryStateCharging) {
    NSLog("Device is charging.");
    text = "Connected";
  }
  return format("%@", Value(text));
}

}  // namespace

void register_CableInfo() {
  platform::objc::Class cls = define_pane("CableInfo");
  add_specifiers(cls, [](const platform::objc::id& self) { return load_specifiers_once(self, "Cable Info"); });
  add_getter(cls, "Link:", [](const Pane&) { return link_row(); });
  add_getter(cls, "Amperage:", [](const Pane&) { return Value(format("%@ mAh", adapter("Amperage"))); });
  add_getter(cls, "Description:", [](const Pane&) { return Value(format("%@", adapter("Description"))); });
  add_getter(cls, "FamilyCode:", [](const Pane&) { return Value(format("%@", adapter("FamilyCode"))); });
  add_getter(cls, "PMUConf:", [](const Pane&) { return Value(format("%@", adapter("PMUConfiguration"))); });
  add_getter(cls, "Watts:", [](const Pane&) { return Value(format("%@", adapter("Watts"))); });
}

}  // namespace px::prefs
