#include "host/device/sim_battery.h"

#include <algorithm>
#include <cmath>

#include "host/device/battery_change.h"
#include "host/device/sim_status.h"

namespace device {
namespace {

// A cycle that charges to 100 % leaves the phone on its charger this long
// (simulated seconds) before it is unplugged, so a full charge is seen.
constexpr double kFullDwellSeconds = 30 * 60;
// Wear never takes the cell below this share of its design capacity.
constexpr double kLowestHealth = 0.1;
// The spread of one cycle's wear around the asked-for loss.
constexpr double kWearNoise = 0.25;

}  // namespace

SimBattery::SimBattery(SimOptions options)
    : m_options(options),
      m_rate(options.rate_per_min),
      m_level(options.level),
      m_known_level(options.level),
      m_connected(options.connected.value_or(options.rate_per_min > 0)),
      m_max_capacity(kFreshMaxCapacity),
      m_cycles(options.cycles.value_or(kFreshCycles)),
      m_temperature(kIdleTemperature),
      m_noise(options.seed) {
  if (m_connected && m_rate < 0) m_rate = -m_rate;
  if (!m_connected && m_rate > 0) m_rate = -m_rate;
  m_state = m_connected ? (m_level >= 1 ? kStateFull : kStateCharging) : kStateUnplugged;
}

std::string SimBattery::description() const {
  const SimOptions& o = m_options;
  bool plain = o.rate_per_min == 0 && o.speed == 1 && !o.cycle && !o.wear_per_cycle && !o.cycles;
  return plain ? "sim" : describe_sim_options(o);
}

int SimBattery::poll_interval_ms() const {
  if (m_rate == 0) return 0;
  double real_ms_per_percent = 60000.0 / (std::abs(m_rate) * m_options.speed);
  return static_cast<int>(std::clamp(real_ms_per_percent, 20.0, 1000.0));
}

void SimBattery::connect(bool connected) {
  m_connected = connected;
  m_rate = connected ? std::abs(m_rate) : -std::abs(m_rate);
  m_state = connected ? (m_level >= 1 ? kStateFull : kStateCharging) : kStateUnplugged;
  m_full_for = 0;
}

void SimBattery::wear_one_cycle() {
  if (!m_options.wear_per_cycle) {
    m_max_capacity *= 0.9995;
    return;
  }
  // Box–Muller over mt19937, whose output is fixed by the standard: the same
  // seed wears the same way on every machine.
  double u1 = (static_cast<double>(m_noise()) + 1) / 4294967297.0;
  double u2 = static_cast<double>(m_noise()) / 4294967296.0;
  double gauss = std::sqrt(-2 * std::log(u1)) * std::cos(2 * M_PI * u2);
  double factor = std::clamp(1 + kWearNoise * gauss, 0.0, 2.0);
  double loss = *m_options.wear_per_cycle * kDesignCapacity * factor;
  m_max_capacity = std::max(kLowestHealth * kDesignCapacity, m_max_capacity - loss);
}

void SimBattery::count_discharge(double drop) {
  m_discharged += drop * m_max_capacity;
  while (m_discharged >= m_max_capacity) {
    m_discharged -= m_max_capacity;
    ++m_cycles;
    wear_one_cycle();
  }
}

double SimBattery::step(double dt) {
  const auto& cycle = m_options.cycle;
  if (m_state == kStateFull) {
    if (!cycle) return 0;  // on the charger for good
    double stay = std::min(dt, kFullDwellSeconds - m_full_for);
    m_full_for += stay;
    if (m_full_for >= kFullDwellSeconds) connect(false);
    return stay;
  }
  if (m_rate == 0 || m_level < 0) return 0;
  bool charging = m_rate > 0;
  double target = charging ? (cycle ? cycle->high : 1.0) : (cycle ? cycle->low : 0.0);
  double per_second = m_rate / 100.0 / 60.0;
  double to_target = std::max(0.0, (target - m_level) / per_second);
  double used = std::min(dt, to_target);
  double before = m_level;
  m_level = std::clamp(m_level + per_second * used, 0.0, 1.0);
  if (used == to_target) m_level = target;  // no rounding short of the turn
  if (m_level < before) count_discharge(before - m_level);
  m_known_level = m_level;
  if (used < to_target) return used;
  // The turn of the cycle, or the end of the road without one.
  if (charging && target >= 1 && m_connected) {
    m_state = kStateFull;
    m_full_for = 0;
  } else if (cycle) {
    connect(!charging);
  } else {
    return 0;
  }
  // A turn takes no time; report a sliver so the caller knows something moved.
  return std::max(used, 1e-9);
}

void SimBattery::advance_to(double elapsed_s) {
  double dt = std::max(0.0, elapsed_s - m_last_elapsed) * m_options.speed;  // simulated seconds
  m_last_elapsed = std::max(m_last_elapsed, elapsed_s);
  if (dt <= 0) return;
  // The level walks through every turn of the cycle in order, however long the step.
  for (double left = dt; left > 0;) {
    double used = step(left);
    if (used <= 0) break;
    left -= used;
  }
  // The cell warms with the current through it and cools back towards idle.
  double load = std::abs(m_rate) * (m_state == kStateFull ? 0 : 1);
  double target = std::min(4500.0, kIdleTemperature + load * 150 + (m_state == kStateCharging ? 250 : 0));
  m_temperature += (target - m_temperature) * (1 - std::exp(-dt / 600.0));
}

BatterySample SimBattery::sample(double elapsed_s, double now_unix) {
  advance_to(elapsed_s);
  Figures f{m_level < 0 ? m_known_level : m_level,
            m_connected,
            m_state == kStateFull,
            now_unix,
            m_max_capacity,
            m_cycles,
            m_temperature};
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
  if (state == kStateCharging || state == kStateFull || state == kStateUnplugged) connect(state != kStateUnplugged);
  m_state = state;
  return true;
}

foundation::Result<void> SimBattery::plug(bool connected, double elapsed_s) {
  advance_to(elapsed_s);
  connect(connected);
  return {};
}

}  // namespace device
