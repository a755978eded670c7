#include "bench/remaining_trace.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "host/device/battery_change.h"
#include "host/device/power_model.h"
#include "host/device/sim_battery.h"
#include "shared/battery_level.h"

namespace px::bench {
namespace {

// A day passes in a minute, as `simdevice boot --battery sim:speed=1440` runs.
constexpr double kSpeed = 1440;
// Simulated seconds between broadcasts (the driver polls the sim about this
// often at that speed).
constexpr double kSampleEvery = 30;
// The truth is found to this many simulated seconds.
constexpr double kTruthStep = 1;
constexpr double kStartUnix = 1.7e9;
// The gauge: the sim's readings are exact, a real gauge's are not. Its
// reading error (relative, one sigma) and one glitch in this many readings.
constexpr double kGaugeNoise = 0.03;
constexpr int kGlitchEvery = 150;

host::device::Usage usage_of(const std::string& name) {
  return host::device::parse_usage(name).value_or(host::device::Usage::idle);
}

host::device::SimBattery make_battery(double level, bool charger, host::device::Usage usage) {
  host::device::SimOptions o;
  o.level = level;
  o.speed = kSpeed;
  o.usage = usage;
  o.connected = charger;
  return host::device::SimBattery(o, [](host::device::Usage u) {
    host::device::PowerState s;
    s.screen_on = true;
    s.brightness = 0.5;
    s.bluetooth = s.location = false;
    s.usage = u;
    return s;
  });
}

bool ended(const host::device::SimBattery& b) { return b.state() == host::device::kStateFull || b.level() <= 0; }

// Simulated seconds from `sim_s` until the battery is empty or full with
// nothing changed, on a copy.
double time_to_end(host::device::SimBattery b, double sim_s) {
  double start = sim_s;
  host::device::SimBattery before = b;
  while (!ended(b)) {
    before = b;
    sim_s += kSampleEvery;
    b.sample(sim_s / kSpeed, 0);
  }
  sim_s -= kSampleEvery;
  while (!ended(before)) {
    sim_s += kTruthStep;
    before.sample(sim_s / kSpeed, 0);
  }
  return sim_s - start;
}

struct Run {
  Trace trace;
  host::device::SimBattery battery;
  std::mt19937 noise;
  double sim_s = 0;
  // The end of the run should the present load stay: the truth of every
  // check until the load changes (the path up to then is the same).
  double end_s = 0;

  Run(std::string name, host::device::SimBattery b, unsigned seed) : battery(std::move(b)), noise(seed) {
    trace.name = std::move(name);
    end_s = time_to_end(battery, sim_s);
  }

  double gauss() { return std::normal_distribution<double>(0, 1)(noise); }

  void broadcast() {
    double now = kStartUnix + sim_s;
    host::device::BatterySample b = battery.sample(sim_s / kSpeed, now);
    history::Sample s = history::sample_from_status(b.status, shared::level_percent(static_cast<float>(b.level)), now);
    if (s.amperage && *s.amperage != 0) {
      double reading = static_cast<double>(*s.amperage) * (1 + kGaugeNoise * gauss());
      // A glitch: nought, or four times the truth.
      if (std::uniform_int_distribution<int>(0, kGlitchEvery - 1)(noise) == 0)
        reading = (noise() & 1) ? 0 : reading * 4;
      s.amperage = std::llround(reading);
    }
    TracePoint p{s, std::nullopt};
    if (!ended(battery)) p.truth_seconds = end_s - sim_s;
    trace.points.push_back(p);
  }

  // Broadcasts until `stop()` or the end.
  template <class Stop>
  void run(Stop stop) {
    broadcast();
    while (!ended(battery) && !stop()) {
      sim_s += kSampleEvery;
      broadcast();
    }
  }

  void change_usage(const std::string& name) {
    if (!battery.set_usage(name, sim_s / kSpeed).ok()) return;  // a name from the list above: cannot fail
    trace.load_change = static_cast<std::int64_t>(kStartUnix + sim_s);
    end_s = sim_s + time_to_end(battery, sim_s);
  }
};

}  // namespace

Trace sim_discharge(const std::string& first, const std::string& second, unsigned seed) {
  Run r("discharge " + first + " > " + second, make_battery(1, false, usage_of(first)), seed);
  double half = r.end_s / 2;
  r.run([&] { return r.sim_s >= half; });
  r.change_usage(second);
  r.run([] { return false; });
  return r.trace;
}

Trace sim_charge(int from_percent, const std::string& first, const std::string& second, unsigned seed) {
  double from = from_percent / 100.0;
  Run r("charge from " + std::to_string(from_percent) + " % " + first + " > " + second,
        make_battery(from, true, usage_of(first)), seed);
  double halfway = from + (1 - from) / 2;
  r.run([&] { return r.battery.level() >= halfway; });
  r.change_usage(second);
  r.run([] { return false; });
  return r.trace;
}

std::optional<Trace> read_trace(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = path + ": cannot be read";
    return std::nullopt;
  }
  Trace trace;
  trace.name = path;
  std::string line;
  std::getline(in, line);
  // The optional columns, found by name in the header.
  std::vector<std::string> header;
  std::stringstream hs(line);
  for (std::string cell; std::getline(hs, cell, ',');) header.push_back(cell);
  auto column = [&](const std::string& name) -> std::optional<std::size_t> {
    auto it = std::find(header.begin(), header.end(), name);
    if (it == header.end()) return std::nullopt;
    return static_cast<std::size_t>(it - header.begin());
  };
  const std::optional<std::size_t> truth_at = column("truth_seconds"), volts_at = column("voltage");
  const bool has_truth = truth_at.has_value();
  int row = 1;
  while (std::getline(in, line)) {
    ++row;
    if (line.starts_with("# load change")) {
      if (!trace.points.empty()) trace.load_change = trace.points.back().sample.time;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    std::stringstream ss(line);
    for (std::string cell; std::getline(ss, cell, ',');) cells.push_back(cell);
    if (cells.size() < 7) {
      error = path + ":" + std::to_string(row) + ": expected at least 7 columns";
      return std::nullopt;
    }
    try {
      history::Sample s;
      s.time = std::stoll(cells[0]);
      s.raw_capacity = std::stoll(cells[1]);
      s.max_capacity = std::stoll(cells[2]);
      s.amperage = std::stoll(cells[3]);
      s.external = cells[4] == "1";
      s.charging = cells[5] == "1";
      s.full = cells[6] == "1";
      TracePoint p{s, std::nullopt};
      if (volts_at && cells.size() > *volts_at && !cells[*volts_at].empty())
        p.sample.voltage = std::stoll(cells[*volts_at]);
      if (truth_at && cells.size() > *truth_at && !cells[*truth_at].empty())
        p.truth_seconds = std::stod(cells[*truth_at]);
      trace.points.push_back(p);
    } catch (const std::exception&) {
      error = path + ":" + std::to_string(row) + ": not a number";
      return std::nullopt;
    }
  }
  if (trace.points.empty()) {
    error = path + ": no samples";
    return std::nullopt;
  }
  if (!has_truth) {
    // The trace's own end: the first full sample, or the last one.
    std::int64_t end = trace.points.back().sample.time;
    for (const TracePoint& p : trace.points)
      if (p.sample.full.value_or(false)) {
        end = p.sample.time;
        break;
      }
    std::int64_t from = trace.load_change.value_or(trace.points.front().sample.time);
    for (TracePoint& p : trace.points)
      if (p.sample.time >= from && p.sample.time < end) p.truth_seconds = static_cast<double>(end - p.sample.time);
  }
  return trace;
}

}  // namespace px::bench
