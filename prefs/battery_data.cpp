// BatteryData: the recorded battery figures, one read-only row each, plus the
// highest capacity seen at full charge (ActualMax), the capacity lost since
// new and whether the battery is full now. Every getter rereads its file.

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "history/remaining_text.h"
#include "history/kept_reader.h"
#include "platform/sim/device_clock.h"
#include "platform/foundation/format.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/user_defaults.h"
#include "platform/uikit/ui_device.h"
#include "prefs/battery_figures.h"
#include "prefs/pane_support.h"
#include "prefs/panes.h"
#include "shared/battery_level.h"
#include "shared/names.h"
#include "shared/settings_schema.h"

namespace px::prefs {
namespace {

using platform::foundation::format;
using platform::foundation::Value;

Value top(const char* key) { return battery_data()[key]; }
Value nested(const char* key) { return battery_data()["BatteryData"][key]; }

// The leading integer of the stored "%i mAh" text, 0 when there is none.
std::int32_t stored_actual_max() {
  return platform::foundation::NSUserDefaults::standardUserDefaults().stringForKey("ActualMax").intValue();
}

Value temperature_row() {
  bool fahrenheit = platform::foundation::dictionaryWithContentsOfFile(
                        platform::sim::DevicePath(shared::kSettingsFileMobile))[shared::settings::Fahrenheit.key]
                        .boolValue();
  Value celsius = temperature_value(top("Temperature"));
  if (!fahrenheit) return format("%@ °C", celsius);
  if (celsius.is_nil()) return format("%@ °F", celsius);
  float degrees = std::strtof(celsius.string()->c_str(), nullptr);
  float converted = static_cast<float>(static_cast<double>(degrees) * 1.8 + 32.0);
  std::string text = format("%f", converted).substr(0, 5);
  return format("%@ °F", text);
}

Value actual_max_row() {
  auto& defaults = platform::foundation::NSUserDefaults::standardUserDefaults();
  // Read without turning monitoring on: the level may be unknown here, and an
  // unknown level records nothing.
  float level = platform::uikit::UIDevice::currentDevice()->batteryLevel();
  if (shared::level_percent(level) == 100) {
    std::int32_t raw = top("AppleRawCurrentCapacity").intValue();
    if (stored_actual_max() < raw) {
      defaults.setObject(Value(format("%i mAh", raw)), "ActualMax");
      defaults.synchronize();
    }
  }
  Value stored = defaults.stringForKey("ActualMax");
  return stored ? stored : Value("Not yet available");
}

Value lost_capacity_row() {
  std::int32_t design = top("DesignCapacity").intValue();
  std::int32_t max = stored_actual_max();
  // Wraps as the device's 32-bit arithmetic does.
  auto lost = static_cast<std::int32_t>(static_cast<std::uint32_t>(design) - static_cast<std::uint32_t>(max));
  return format("%i mAh", lost);
}

Value fully_charged_row() {
  auto device = platform::uikit::UIDevice::currentDevice();
  device->setBatteryMonitoringEnabled(true);
  float level = device->batteryLevel();
  bool full = device->isBatteryMonitoringEnabled() && shared::level_percent(level) == 100;
  return format("%@", Value(full ? "Yes" : "No"));
}

// The estimate from the history store's last half hour, read afresh like
// every row, through a connection kept between renders (see KeptReader).
Value time_left_row(history::RemainingDirection row) {
  static history::KeptReader store;
  history::HistoryReader* reader = store.reader();
  auto now = static_cast<std::int64_t>(std::floor(platform::sim::device_now()));
  return Value(
      history::remaining_row_text(reader ? history::read_remaining(*reader, now) : history::RemainingEstimate{}, row));
}

}  // namespace

void register_BatteryData() {
  platform::objc::Class cls = define_pane("BatteryData");
  add_specifiers(cls, [](const platform::objc::id& self) { return load_specifiers_once(self, "Battery Data"); });
  add_getter(cls, "RawCapacity:", [](const Pane&) { return Value(format("%@ mAh", top("AppleRawCurrentCapacity"))); });
  add_getter(cls, "DesignCapacity:", [](const Pane&) { return Value(format("%@ mAh", top("DesignCapacity"))); });
  add_getter(cls, "CycleCount:", [](const Pane&) { return Value(format("%@", top("CycleCount"))); });
  add_getter(cls, "CHM:", [](const Pane&) { return Value(format("%@ mV", nested("ChemID"))); });
  add_getter(cls, "Flags:", [](const Pane&) { return Value(format("%@", nested("Flags"))); });
  add_getter(cls, "Model:", [](const Pane&) { return Value(format("%@", top("Model"))); });
  add_getter(cls, "IOProviderClass:", [](const Pane&) { return Value(format("%@", top("IOProviderClass"))); });
  add_getter(cls, "IOProbeScore:", [](const Pane&) { return Value(format("%@", top("IOProbeScore"))); });
  add_getter(cls, "QCell:", [](const Pane&) { return Value(format("%@", nested("QmaxCell0"))); });
  add_getter(cls, "Temperature:", [](const Pane&) { return temperature_row(); });
  add_getter(cls, "UpdateTime:", [](const Pane&) { return Value(format("%@", top("UpdateTime"))); });
  add_getter(cls, "BootVoltage:", [](const Pane&) { return Value(format("%@ mV", top("BootVoltage"))); });
  add_getter(cls, "Serial:", [](const Pane&) { return Value(format("%@", top("Serial"))); });
  add_getter(cls, "ActualMaxCapacity:", [](const Pane&) { return actual_max_row(); });
  add_getter(cls, "LostCapacity:", [](const Pane&) { return lost_capacity_row(); });
  add_getter(cls, "fullyCharged:", [](const Pane&) { return fully_charged_row(); });
  add_getter(cls, "TimeToEmpty:", [](const Pane&) { return time_left_row(history::RemainingDirection::to_empty); });
  add_getter(cls, "TimeToFull:", [](const Pane&) { return time_left_row(history::RemainingDirection::to_full); });
}

}  // namespace px::prefs
