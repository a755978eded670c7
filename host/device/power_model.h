#pragma once
// The simulated phone's power: what it draws from what is on, and how its
// lithium-ion cell answers (open-circuit voltage, internal resistance, the
// charger's constant-current/constant-voltage profile). docs/battery-model.md
// says where each figure comes from.

#include <optional>
#include <string>
#include <string_view>

#include "shared/cell_curve.h"
#include "platform/system/hardware_switches.h"

namespace px::host::device {

// What the user is doing with the phone, as `simdevice usage` sets it.
enum class Usage { idle, browse, video, call };
inline constexpr Usage kUsages[] = {Usage::idle, Usage::browse, Usage::video, Usage::call};
std::optional<Usage> parse_usage(std::string_view name);
const char* usage_name(Usage usage);
// "idle, browse, video or call", for usage messages.
std::string usage_names();

// The parts of the device that draw current, as they are at one moment; the
// switches start as the hardware switch table reads them while unwritten.
struct PowerState {
  bool screen_on = false;  // unlocked; the screen is off while locked
  double brightness = platform::system::switch_info(platform::system::Switch::brightness).fallback;  // 0..1
  bool wifi = platform::system::switch_info(platform::system::Switch::wifi).fallback != 0;
  bool bluetooth = platform::system::switch_info(platform::system::Switch::bluetooth).fallback != 0;
  bool location = platform::system::switch_info(platform::system::Switch::location).fallback != 0;
  bool airplane =
      platform::system::switch_info(platform::system::Switch::airplane).fallback != 0;  // the cellular radio is off
  Usage usage = Usage::idle;
};

// Current the phone draws (mA, > 0), the sum of the parts that are on.
double load_milliamps(const PowerState& state);

// The cell.
inline constexpr double kChargeVoltage = shared::kCellChargeVolts;  // V, the constant-voltage stage's
inline constexpr double kAdapterWatts = 5;                          // the USB brick at 5 V
// Open-circuit voltage (V) at a state of charge 0..1 (shared/cell_curve.h).
double open_circuit_voltage(double soc);
// Internal resistance (ohm) of a cell at `health` (max capacity / design, 0..1).
double cell_resistance(double health);
// The charge stops when the constant-voltage current falls below this share
// of the capacity (C/20).
inline constexpr double kCutoffC = 0.05;

// Current into the cell (mA, may be negative when the phone draws more than
// the adapter gives) while a charger of `watts` feeds it and the phone draws
// `load_ma`: constant current up to the charge voltage, then what holds the
// terminal at that voltage.
struct ChargeCurrent {
  double cell_ma;
  bool constant_voltage;
};
ChargeCurrent charge_current(double soc, double load_ma, double resistance, double watts = kAdapterWatts);

// Terminal voltage (V): the open-circuit voltage plus the drop across the
// cell's resistance at `cell_ma` (> 0 charging, < 0 discharging).
double terminal_voltage(double soc, double cell_ma, double resistance);

}  // namespace px::host::device
