#include "host/device/power_model.h"

#include <algorithm>
#include <cmath>

#include "host/common/word_list.h"
#include "shared/cell_curve.h"

namespace px::host::device {
namespace {

// Per-component currents (mA) of a phone of the same year and class, measured
// at 4.0 V with a 2300 mAh battery (Nexus 5 power profile, docs/battery-model.md
// cites each row). Each is in addition to the phone at rest.
constexpr double kScreenOn = 82.75;      // screen.on: at minimum brightness
constexpr double kScreenFull = 201.16;   // screen.full: more at full brightness
constexpr double kWifiOn = 3.5;          // wifi.on: associated, idle
constexpr double kWifiActive = 73.24;    // wifi.active
constexpr double kBluetoothOn = 0.79;    // bluetooth.on
constexpr double kGpsOn = 76.23;         // gps.on
constexpr double kRadioActive = 185.19;  // radio.active
constexpr double kRadioOn = 4.8;         // radio.on: paging, the weaker-signal bin
// This project's own figures, where the table has no row: the platform asleep
// (suspended, memory kept) and awake with its processor idle, and the
// processor's share of each workload.
constexpr double kRest = 5;
constexpr double kAwake = 30;
// Location Services on keep the receiver busy a tenth of the time (apps
// asking for a position now and then), not all of it.
constexpr double kGpsDuty = 0.1;
// The reference phone's battery against this one's: the same phone with a
// smaller cell draws proportionally less (a smaller screen, a smaller board).
constexpr double kScale = 1560.0 / 2300.0;

struct Workload {
  double cpu_ma;       // the processor's extra current for the work
  double data_share;   // share of the time the data radio is sending or receiving
  bool voice = false;  // the cellular radio active throughout
};

Workload workload(Usage usage) {
  switch (usage) {
    case Usage::idle:
      return {0, 0};
    case Usage::browse:
      return {45, 0.25};
    case Usage::video:
      return {90, 0.1};
    case Usage::call:
      return {20, 0, true};
  }
  return {0, 0};
}

// A fresh cell's resistance (ohm), connections and polarisation included.
constexpr double kFreshResistance = 0.25;

}  // namespace

std::optional<Usage> parse_usage(std::string_view name) {
  for (Usage u : kUsages)
    if (name == usage_name(u)) return u;
  return std::nullopt;
}

std::string usage_names() { return common::word_list(kUsages, usage_name); }

const char* usage_name(Usage usage) {
  switch (usage) {
    case Usage::idle:
      return "idle";
    case Usage::browse:
      return "browse";
    case Usage::video:
      return "video";
    case Usage::call:
      return "call";
  }
  return "idle";
}

double load_milliamps(const PowerState& s) {
  Workload w = workload(s.usage);
  bool cellular = !s.airplane;
  // A workload keeps the platform awake even behind the lock (a call, music).
  bool awake = s.screen_on || s.usage != Usage::idle;
  double ma = kRest + (awake ? kAwake + w.cpu_ma : 0);
  if (s.screen_on) ma += kScreenOn + kScreenFull * std::clamp(s.brightness, 0.0, 1.0);
  if (s.wifi) ma += kWifiOn;
  if (s.bluetooth) ma += kBluetoothOn;
  if (s.location) ma += kGpsOn * kGpsDuty;
  if (cellular) ma += kRadioOn;
  // Data goes over Wi-Fi when it is on, else over the cellular radio; with
  // neither there is nothing to fetch.
  if (s.wifi)
    ma += kWifiActive * w.data_share;
  else if (cellular)
    ma += kRadioActive * w.data_share;
  if (w.voice && cellular) ma += kRadioActive;
  return ma * kScale;
}

double open_circuit_voltage(double soc) { return shared::cell_open_circuit_volts(soc); }

double cell_resistance(double health) {
  // Resistance grows as capacity fades: half as much again by 80 % health.
  return kFreshResistance * (1 + 2.5 * std::clamp(1 - health, 0.0, 1.0));
}

ChargeCurrent charge_current(double soc, double load_ma, double resistance, double watts) {
  // The adapter's current at USB's 5 V; the phone takes its own load from it first.
  double offered = watts / 5.0 * 1000 - load_ma;
  double holding = (kChargeVoltage - open_circuit_voltage(soc)) / resistance * 1000;
  if (offered <= holding) return {offered, false};
  return {std::max(0.0, holding), true};
}

double terminal_voltage(double soc, double cell_ma, double resistance) {
  return open_circuit_voltage(soc) + cell_ma / 1000 * resistance;
}

}  // namespace px::host::device
