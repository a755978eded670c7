#include "host/device/sim_battery.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "host/device/battery_change.h"

namespace device {
namespace {

constexpr int kDesignCapacity = 1560;       // mAh, the 5s cell
constexpr double kFreshMaxCapacity = 1498;  // mAh at boot, after some wear
constexpr int kFreshCycles = 212;
constexpr double kIdleTemperature = 2950;   // 29.50 °C
constexpr double kIdleDrainMilliamps = 180;  // what a held-still battery claims to draw

struct Figures {
  double level;
  bool connected;
  bool full;
  double now_unix;
  double max_capacity = kFreshMaxCapacity;
  int cycles = kFreshCycles;
  double temperature = kIdleTemperature;
  double milliamps = 0;  // > 0 into the battery
};

long long round_ll(double d) { return static_cast<long long>(std::llround(d)); }

foundation::Value status_of(const Figures& f) {
  using foundation::Dictionary;
  using foundation::Value;
  double level = std::clamp(f.level, 0.0, 1.0);
  long long raw = round_ll(level * f.max_capacity);
  long long max = round_ll(f.max_capacity);
  long long voltage = round_ll(3650 + 700 * level + (f.connected && !f.full ? 60 : 0));
  long long amps = f.full ? 0 : round_ll(f.milliamps);
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
           {"CellVoltage", foundation::Array{Value(voltage)}},
       }},
  };
  if (f.connected) {
    status["AdapterDetails"] = Dictionary{
        {"AdapterID", 0},
        {"AdapterVoltage", 5000},
        {"Amperage", 1000},
        {"Current", 1000},
        {"Description", "usb brick"},
        {"FamilyCode", -536854528},
        {"IsWireless", false},
        {"PMUConfiguration", 1000},
        {"SharedSource", false},
        {"Source", 0},
        {"Watts", 5},
    };
  }
  return status;
}

std::optional<double> number(const std::string& s) {
  std::istringstream in(s);
  double d;
  if (!(in >> d) || !in.eof() || !std::isfinite(d)) return std::nullopt;
  return d;
}

}  // namespace

foundation::Value default_battery_status(double level, bool connected, bool full, double now_unix) {
  Figures f{level < 0 ? 0.5 : level, connected, full, now_unix};
  f.milliamps = connected ? 0 : -kIdleDrainMilliamps;
  return status_of(f);
}

std::optional<SimOptions> parse_sim_options(const std::string& text, std::string* error) {
  SimOptions o;
  auto fail = [&](std::string why) -> std::optional<SimOptions> {
    if (error) *error = "sim battery: " + why;
    return std::nullopt;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = text.find(',', i);
    std::string item = text.substr(i, j == std::string::npos ? std::string::npos : j - i);
    i = j == std::string::npos ? text.size() : j + 1;
    if (item.empty()) continue;
    auto eq = item.find('=');
    if (eq == std::string::npos) return fail("'" + item + "' is not NAME=VALUE");
    std::string name = item.substr(0, eq), value = item.substr(eq + 1);
    if (name == "level") {
      bool percent = !value.empty() && value.back() == '%';
      auto d = number(percent ? value.substr(0, value.size() - 1) : value);
      if (!d) return fail("bad level '" + value + "'");
      double level = (percent || *d > 1) ? *d / 100 : *d;
      if (level < 0 || level > 1) return fail("level '" + value + "' is outside 0..100%");
      o.level = level;
    } else if (name == "rate") {
      double per = 1;  // to minutes
      std::string amount = value;
      for (auto [suffix, factor] : {std::pair{"/min", 1.0}, {"/s", 60.0}, {"/h", 1 / 60.0}}) {
        std::string sfx = suffix;
        if (amount.size() > sfx.size() && amount.compare(amount.size() - sfx.size(), sfx.size(), sfx) == 0) {
          amount.resize(amount.size() - sfx.size());
          per = factor;
          break;
        }
      }
      if (!amount.empty() && amount.back() == '%') amount.pop_back();
      auto d = number(amount);
      if (!d) return fail("bad rate '" + value + "' (e.g. -1.5/min)");
      o.rate_per_min = *d * per;
    } else if (name == "speed") {
      auto d = number(value);
      if (!d || *d <= 0 || *d > 1e6) return fail("bad speed '" + value + "' (a positive factor)");
      o.speed = *d;
    } else if (name == "charger") {
      if (value != "on" && value != "off") return fail("charger is on or off");
      o.connected = value == "on";
    } else {
      return fail("unknown option '" + name + "' (level, rate, speed, charger)");
    }
  }
  return o;
}

SimBattery::SimBattery(SimOptions options)
    : m_options(options),
      m_rate(options.rate_per_min),
      m_level(options.level),
      m_known_level(options.level),
      m_connected(options.connected.value_or(options.rate_per_min > 0)),
      m_max_capacity(kFreshMaxCapacity),
      m_cycles(kFreshCycles),
      m_temperature(kIdleTemperature) {
  if (m_connected && m_rate < 0) m_rate = -m_rate;
  if (!m_connected && m_rate > 0) m_rate = -m_rate;
  m_state = m_connected ? (m_level >= 1 ? kStateFull : kStateCharging) : kStateUnplugged;
}

std::string SimBattery::description() const {
  if (m_options.rate_per_min == 0 && m_options.speed == 1) return "sim";
  std::ostringstream s;
  s << "sim:level=" << m_options.level * 100 << ",rate=" << m_options.rate_per_min << "/min,speed=" << m_options.speed;
  return s.str();
}

int SimBattery::poll_interval_ms() const { return m_rate == 0 ? 0 : 1000; }

void SimBattery::advance_to(double elapsed_s) {
  double dt = std::max(0.0, elapsed_s - m_last_elapsed) * m_options.speed;  // simulated seconds
  m_last_elapsed = std::max(m_last_elapsed, elapsed_s);
  if (dt <= 0) return;
  if (m_rate != 0 && m_level >= 0 && m_state != kStateFull) {
    double before = m_level;
    m_level = std::clamp(m_level + m_rate / 100.0 / 60.0 * dt, 0.0, 1.0);
    if (m_level < before) {
      m_discharged += (before - m_level) * m_max_capacity;
      while (m_discharged >= m_max_capacity) {
        m_discharged -= m_max_capacity;
        ++m_cycles;
        m_max_capacity *= 0.9995;  // a cell loses a little with every full cycle
      }
    }
    if (m_connected && m_level >= 1) m_state = kStateFull;
    m_known_level = m_level;
  }
  // The cell warms with the current through it and cools back towards idle.
  double load = std::abs(m_rate) * (m_state == kStateFull ? 0 : 1);
  double target = std::min(4500.0, kIdleTemperature + load * 150 + (m_state == kStateCharging ? 250 : 0));
  m_temperature += (target - m_temperature) * (1 - std::exp(-dt / 600.0));
}

BatterySample SimBattery::sample(double elapsed_s, double now_unix) {
  advance_to(elapsed_s);
  Figures f{m_level < 0 ? m_known_level : m_level, m_connected, m_state == kStateFull, now_unix, m_max_capacity, m_cycles, m_temperature};
  double per_minute_mah = std::abs(m_rate) / 100.0 * m_max_capacity * 60;  // mA
  if (m_state == kStateFull)
    f.milliamps = 0;
  else if (m_connected)
    f.milliamps = m_rate == 0 ? 500 : per_minute_mah;
  else
    f.milliamps = m_rate == 0 ? -kIdleDrainMilliamps : -per_minute_mah;
  return BatterySample{m_level, m_state, status_of(f)};
}

bool SimBattery::take_level(double level, double elapsed_s) {
  advance_to(elapsed_s);
  m_level = level;
  if (level >= 0) m_known_level = level;
  if (m_state == kStateFull && level < 1 && level >= 0) m_state = m_connected ? kStateCharging : kStateUnplugged;
  return true;
}

bool SimBattery::take_state(int state, double elapsed_s) {
  advance_to(elapsed_s);
  m_state = state;
  if (state == kStateCharging || state == kStateFull) {
    m_connected = true;
    if (m_rate < 0) m_rate = -m_rate;
  } else if (state == kStateUnplugged) {
    m_connected = false;
    if (m_rate > 0) m_rate = -m_rate;
  }
  return true;
}

bool SimBattery::plug(bool connected, double elapsed_s, std::string*) {
  advance_to(elapsed_s);
  m_connected = connected;
  if (connected) {
    if (m_rate < 0) m_rate = -m_rate;
    m_state = m_level >= 1 ? kStateFull : kStateCharging;
  } else {
    if (m_rate > 0) m_rate = -m_rate;
    m_state = kStateUnplugged;
  }
  return true;
}

}  // namespace device
