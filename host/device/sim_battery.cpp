#include "host/device/sim_battery.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "host/device/battery_change.h"
#include "host/device/power_state_reader.h"

namespace px::host::device {
namespace {

// A cycle that charges to 100 % leaves the phone on its charger this long
// (simulated seconds) before it is unplugged, so a full charge is seen.
constexpr double kFullDwellSeconds = 30 * 60;
// Wear never takes the cell below this share of its design capacity.
constexpr double kLowestHealth = 0.1;
// The spread of one cycle's wear around the asked-for loss.
constexpr double kWearNoise = 0.25;
// The load model's largest step: a fifth of a percent, so that the taper of a
// charge and a change of voltage are followed however fast the clock runs.
constexpr double kLargestStep = 0.002;
// The cell's heat against its temperature: degrees per watt above idle, and
// the time (simulated seconds) it takes to get most of the way there.
constexpr double kDegreesPerWatt = 12;
constexpr double kThermalSeconds = 600;
// Readings at turns kept for the driver, at most (a clock so fast that turns
// come quicker than 50 a second loses the oldest).
constexpr std::size_t kKeptTurns = 256;

}  // namespace

SimBattery::SimBattery(SimOptions options, std::function<PowerState(Usage)> power)
    : m_options(options),
      m_power(std::move(power)),
      m_rate(options.rate_per_min.value_or(0)),
      m_fixed(options.rate_per_min.has_value()),
      m_usage(options.usage),
      m_level(options.level),
      m_known_level(options.level),
      m_shown_level(options.level),
      m_connected(options.connected.value_or(m_rate > 0)),
      m_max_capacity(kFreshMaxCapacity),
      m_cycles(options.cycles.value_or(kFreshCycles)),
      m_temperature(kIdleTemperature),
      m_noise(options.seed) {
  if (!m_power) {
    auto reader = std::make_shared<PowerStateReader>();
    m_power = [reader](Usage usage) { return reader->read(usage); };
  }
  if (m_connected && m_rate < 0) m_rate = -m_rate;
  if (!m_connected && m_rate > 0) m_rate = -m_rate;
  m_state = m_connected ? (m_level >= 1 ? kStateFull : kStateCharging) : kStateUnplugged;
  m_now = m_power(m_usage);
  m_current = cell_current();
}

std::string SimBattery::description() const {
  const SimOptions& o = m_options;
  bool plain = !o.rate_per_min && o.speed == 1 && !o.cycle && !o.wear_per_cycle && !o.cycles && o.usage == Usage::idle;
  return plain ? "sim" : describe_sim_options(o);
}

int SimBattery::poll_interval_ms() const {
  double real_ms;
  if (m_fixed) {
    if (m_rate == 0) return 0;
    real_ms = 60000.0 / (std::abs(m_rate) * m_options.speed);  // one percent
  } else {
    real_ms = 3600.0 * 1000 / (500 * m_options.speed);  // one mAh at 500 mA
  }
  return static_cast<int>(std::clamp(real_ms, 20.0, 1000.0));
}

double SimBattery::resistance() const { return cell_resistance(m_max_capacity / kDesignCapacity); }

void SimBattery::connect(bool connected) {
  m_connected = connected;
  m_rate = connected ? std::abs(m_rate) : -std::abs(m_rate);
  m_state = connected ? (m_level >= 1 ? kStateFull : kStateCharging) : kStateUnplugged;
  m_full_for = 0;
  m_current = cell_current();
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

double SimBattery::cell_current() {
  m_constant_voltage = false;
  if (m_state == kStateFull || m_level < 0) return 0;
  if (m_fixed) return m_rate / 100.0 * 60 * m_max_capacity;  // percent a minute to mA
  double load = load_milliamps(m_now);
  if (!m_connected) return -load;
  ChargeCurrent c = charge_current(m_level, load, resistance());
  m_constant_voltage = c.constant_voltage;
  return c.cell_ma;
}

void SimBattery::keep_turn() {
  if (m_turns.size() >= kKeptTurns) m_turns.pop_front();
  m_turns.push_back(Turn{figures(0), m_level, m_state, m_sim_time});
  m_shown_level = m_level;
}

double SimBattery::step(double dt) {
  const auto& cycle = m_options.cycle;
  if (m_state == kStateFull) {
    m_current = 0;
    if (!cycle) return 0;  // on the charger for good
    double stay = std::min(dt, kFullDwellSeconds - m_full_for);
    m_full_for += stay;
    if (m_full_for >= kFullDwellSeconds) {
      connect(false);
      keep_turn();
    }
    return stay;
  }
  m_current = cell_current();
  if (m_current == 0 || m_level < 0) return 0;
  bool rising = m_current > 0;
  // The charge ends when the constant-voltage current falls to the cut-off.
  bool cut_off = !m_fixed && m_constant_voltage && m_current < kCutoffC * m_max_capacity;
  double target = rising ? (cycle ? cycle->high : 1.0) : (cycle && !m_connected ? cycle->low : 0.0);
  double per_second = m_current / 3600.0 / m_max_capacity;  // level per simulated second
  double to_target = cut_off ? 0 : std::max(0.0, (target - m_level) / per_second);
  double used = std::min(dt, to_target);
  if (!m_fixed) used = std::min(used, kLargestStep / std::abs(per_second));
  double before = m_level;
  m_level = std::clamp(m_level + per_second * used, 0.0, 1.0);
  if (used == to_target) m_level = cut_off ? std::max(m_level, target) : target;  // no rounding short of the turn
  if (m_level < before) count_discharge(before - m_level);
  m_known_level = m_level;
  // The cell warms with the heat of the current through its resistance.
  double watts = (m_current / 1000) * (m_current / 1000) * resistance();
  double warm = kIdleTemperature + 100 * kDegreesPerWatt * watts;
  m_temperature += (warm - m_temperature) * (1 - std::exp(-used / kThermalSeconds));
  m_sim_time += used;
  if (used < to_target) return used;
  // The turn of the cycle, or the end of the road without one.
  if (rising && target >= 1 && m_connected) {
    m_level = 1;
    m_state = kStateFull;
    m_full_for = 0;
    m_current = 0;
  } else if (cycle && rising == m_connected) {
    connect(!rising);  // unplugged at HIGH, plugged in at LOW
  } else {
    return 0;
  }
  keep_turn();
  // A turn takes no time; report a sliver so the caller knows something moved.
  return std::max(used, 1e-9);
}

void SimBattery::advance_to(double elapsed_s) {
  double dt = std::max(0.0, elapsed_s - m_last_elapsed) * m_options.speed;  // simulated seconds
  m_last_elapsed = std::max(m_last_elapsed, elapsed_s);
  m_now = m_power(m_usage);
  if (dt <= 0) {
    m_current = cell_current();
    return;
  }
  // The level walks through every turn of the cycle in order, however long the step.
  double left = dt;
  while (left > 0) {
    double used = step(left);
    if (used <= 0) break;
    left -= used;
  }
  m_current = cell_current();  // at the level reached, for the reading
  if (left > 0) {              // nothing moves any more: time and temperature still do
    m_sim_time += left;
    double warm = m_state == kStateFull || m_current == 0 ? kIdleTemperature : m_temperature;
    m_temperature += (warm - m_temperature) * (1 - std::exp(-left / kThermalSeconds));
  }
}

Figures SimBattery::figures(double now_unix) const {
  double level = m_level < 0 ? m_known_level : m_level;
  Figures f{level, m_connected, m_state == kStateFull, now_unix, m_max_capacity, m_cycles, m_temperature};
  if (!m_fixed) f.temperature = std::round(m_temperature / 10) * 10;  // a tenth of a degree
  if (m_state == kStateFull)
    f.milliamps = 0;
  else if (m_fixed && m_rate == 0)
    f.milliamps = m_connected ? 500 : -kIdleDrainMilliamps;
  else
    f.milliamps = m_current;
  return f;
}

BatterySample SimBattery::sample(double elapsed_s, double now_unix) {
  advance_to(elapsed_s);
  if (!m_turns.empty()) {
    // The oldest turn not yet read, stamped with the device time it happened.
    Turn t = m_turns.front();
    m_turns.pop_front();
    t.figures.now_unix = now_unix - (m_sim_time - t.sim_time);
    return BatterySample{t.level, t.state, status_of(t.figures)};
  }
  if (m_fixed || m_level <= 0 || m_level >= 1 || std::abs(m_level - m_shown_level) * m_max_capacity >= 1)
    m_shown_level = m_level;
  Figures f = figures(now_unix);
  f.level = m_level < 0 ? m_known_level : m_shown_level;
  return BatterySample{m_level < 0 ? m_level : m_shown_level, m_state, status_of(f)};
}

bool SimBattery::take_level(double level, double elapsed_s) {
  advance_to(elapsed_s);
  m_level = m_shown_level = level;
  if (level >= 0) m_known_level = level;
  if (m_state == kStateFull && level < 1 && level >= 0) m_state = m_connected ? kStateCharging : kStateUnplugged;
  m_current = cell_current();
  return true;
}

bool SimBattery::take_state(int state, double elapsed_s) {
  advance_to(elapsed_s);
  if (state == kStateCharging || state == kStateFull || state == kStateUnplugged) connect(state != kStateUnplugged);
  m_state = state;
  m_current = cell_current();
  return true;
}

platform::foundation::Result<void> SimBattery::plug(bool connected, double elapsed_s) {
  advance_to(elapsed_s);
  connect(connected);
  return {};
}

platform::foundation::Result<void> SimBattery::set_usage(const std::string& name, double elapsed_s) {
  auto usage = parse_usage(name);
  if (!usage)
    return platform::foundation::fail(platform::foundation::Errc::invalid,
                                      "no usage '" + name + "' (" + usage_names() + ")");
  if (m_fixed)
    return platform::foundation::fail(platform::foundation::Errc::invalid,
                                      "the battery runs at a fixed rate (rate=): what is on does not change it");
  advance_to(elapsed_s);  // the time so far ran under the old usage
  m_usage = *usage;
  m_now = m_power(m_usage);
  m_current = cell_current();
  return {};
}

std::optional<std::string> SimBattery::usage() const {
  if (m_fixed) return std::nullopt;
  return std::string(usage_name(m_usage));
}

}  // namespace px::host::device
