#include "host/device/sim_status.h"
#include "host/device/power_model.h"
#include "host/device/sim_battery.h"

#include <algorithm>
#include <cmath>

namespace px::host::device {
namespace {

long long round_ll(double d) { return static_cast<long long>(std::llround(d)); }

}  // namespace

platform::foundation::Value status_of(const Figures& f) {
  using platform::foundation::Dictionary;
  using platform::foundation::Value;
  double level = std::clamp(f.level, 0.0, 1.0);
  long long raw = round_ll(level * f.max_capacity);
  long long max = round_ll(f.max_capacity);
  long long amps = f.full ? 0 : round_ll(f.milliamps);
  // The cell's open-circuit voltage, less the drop across its resistance
  // while it gives current, plus it while it takes some.
  long long voltage = round_ll(
      1000 * terminal_voltage(level, f.full ? 0 : f.milliamps, cell_resistance(f.max_capacity / kDesignCapacity)));
  bool charging = f.connected && !f.full;
  long long minutes_left = -1;
  if (amps < 0) minutes_left = round_ll(raw / double(-amps) * 60);
  if (amps > 0) minutes_left = round_ll((max - raw) / double(amps) * 60);

  Dictionary status{
      {"AdapterInfo", f.connected ? 16384 : 0},
      {"Amperage", amps},
      {"AppleChargeRateLimitIndex", 0},
      {"AppleRawBatteryVoltage", voltage},
      {"AppleRawCurrentCapacity", raw},
      {"AppleRawMaxCapacity", max},
      {"AtCriticalLevel", level < 0.05},
      {"AtWarnLevel", level < 0.2},
      {"BatteryInstalled", true},
      {"BatteryInvalidWakeSeconds", 30},
      {"BootVoltage", 3822},
      {"ChargerConfiguration", f.connected ? 990 : 0},
      {"CurrentCapacity", raw},
      {"CycleCount", f.cycles},
      {"DesignCapacity", kDesignCapacity},
      {"DesignCycleCount70", 500},
      {"DesignCycleCount9C", 1000},
      {"ExternalChargeCapable", f.connected},
      {"ExternalConnected", f.connected},
      {"FullyCharged", f.full},
      {"IOClass", "AppleARMPMUCharger"},
      {"IOGeneralInterest", "IOCommand is not serializable"},
      {"IOProbeScore", 0},
      {"IOProviderClass", "AppleARMPMU"},
      {"InstantAmperage", amps},
      {"InstantTimeToEmpty", amps < 0 ? minutes_left : 65535},
      {"IsCharging", charging},
      {"Location", 0},
      {"Manufacturer", "A"},
      {"MaxCapacity", max},
      {"Model", "0000-A"},
      {"PermanentFailureStatus", 0},
      {"Serial", "C0133298NRFFN6HAF"},
      {"Temperature", round_ll(f.temperature)},
      {"TimeRemaining", minutes_left < 0 ? 0 : minutes_left},
      {"UpdateTime", round_ll(f.now_unix)},
      {"Voltage", voltage},
      {"BatteryData",
       Dictionary{
           {"ChemID", 5411},
           {"CycleCount", f.cycles},
           {"DesignCapacity", kDesignCapacity},
           {"Flags", 640},
           {"ManufactureDate", "1519"},
           {"MaxCapacity", max},
           {"QmaxCell0", round_ll(f.max_capacity * 1.035)},
           {"ResScale", 200},
           {"StateOfCharge", round_ll(level * 100)},
           {"Voltage", voltage},
           {"CellVoltage", platform::foundation::Array{Value(voltage)}},
       }},
  };
  if (f.connected) {
    status["AdapterDetails"] = Dictionary{
        {"AdapterID", 0},
        {"AdapterVoltage", 5000},
        {"Amperage", round_ll(kAdapterWatts / 5 * 1000)},
        {"Current", round_ll(kAdapterWatts / 5 * 1000)},
        {"Description", "usb brick"},
        {"FamilyCode", -536854528},
        {"IsWireless", false},
        {"PMUConfiguration", 1000},
        {"SharedSource", false},
        {"Source", 0},
        {"Watts", round_ll(kAdapterWatts)},
    };
  }
  return status;
}

platform::foundation::Value default_battery_status(double level, bool connected, bool full, double now_unix) {
  Figures f{level < 0 ? 0.5 : level, connected, full, now_unix};
  f.milliamps = connected ? 0 : -kIdleDrainMilliamps;
  return status_of(f);
}

}  // namespace px::host::device
