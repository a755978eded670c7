#include "bench/remaining_trace.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace bench {
namespace {

// The synthetic cell: 1500 mAh; its own open-circuit curve (not the
// estimator's), every tenth of charge, and 0.25 Ω in the cell and its path
// (which puts the charge's knee near 76 %, 80 % coming in a little over half
// the time of a charge from empty, as a phone's does).
constexpr double kCapacity = 1500;
constexpr double kResistance = 0.25;
constexpr std::array<double, 11> kOcv{3.20, 3.58, 3.68, 3.74, 3.78, 3.82, 3.87, 3.93, 4.00, 4.08, 4.19};
constexpr double kChargeVolts = 4.20;
constexpr double kAdapterMilliamps = 1000;           // 5 W at the cell, less the conversion
constexpr double kCutoffMilliamps = kCapacity / 20;  // C/20
constexpr double kStep = 10;                         // seconds per step of the model
constexpr double kSampleEvery = 30;                  // seconds between broadcasts

double ocv(double share) {
  double x = std::clamp(share, 0.0, 1.0) * 10;
  auto i = static_cast<std::size_t>(std::min(9.0, std::floor(x)));
  return kOcv[i] + (kOcv[i + 1] - kOcv[i]) * (x - static_cast<double>(i));
}

double usage_watts(const std::string& name) {
  static const std::map<std::string, double> kWatts{{"idle", 0.25}, {"browse", 1.2}, {"video", 1.6}, {"call", 0.9}};
  auto it = kWatts.find(name);
  return it == kWatts.end() ? 1.0 : it->second;
}

// The cell's current (mA, positive charging) at charge `mah` for a phone
// drawing `watts`, on the charger or not; 0 when full or empty.
double cell_current(double mah, double watts, bool charging) {
  double v0 = ocv(mah / kCapacity);
  if (!charging) {
    // P = I·(V0 − I·R): the smaller root.
    double disc = v0 * v0 - 4 * kResistance * watts;
    if (disc <= 0) return 0;
    return -(v0 - std::sqrt(disc)) / (2 * kResistance) * 1000;
  }
  double cc = kAdapterMilliamps - watts / v0 * 1000;  // the phone's load comes off the charger's current
  double cv = (kChargeVolts - v0) / kResistance * 1000;
  double i = std::min(cc, cv);
  return i < kCutoffMilliamps ? 0 : i;
}

// Seconds until empty (or full) from `mah` at a steady `watts`.
double time_left(double mah, double watts, bool charging) {
  double t = 0;
  for (int guard = 0; guard < 200000; ++guard) {
    double i = cell_current(mah, watts, charging);
    if (i == 0 || mah <= 0 || mah >= kCapacity) return t;
    mah += i * kStep / 3600;
    t += kStep;
  }
  return t;
}

struct Run {
  Trace trace;
  std::mt19937 noise;
  double mah, t = 1.7e9, wander = 0;
  bool charging;

  Run(std::string name, double start_mah, bool on_charger, unsigned seed)
      : noise(seed), mah(start_mah), charging(on_charger) {
    trace.name = std::move(name);
  }

  double gauss() { return std::normal_distribution<double>(0, 1)(noise); }

  // Runs `watts` until `until(mah)` or empty/full; a broadcast every kSampleEvery.
  template <class Stop>
  void run(double watts, Stop until) {
    double next_sample = t;
    for (;;) {
      // The load wanders around its usage (±5 %, correlated over about two minutes).
      wander += (-wander * kStep / 120) + 0.05 * std::sqrt(2 * kStep / 120) * gauss();
      double w = watts * (1 + wander);
      double i = cell_current(mah, w, charging);
      if (t >= next_sample) {
        sample(i, watts);
        next_sample += kSampleEvery;
      }
      if (i == 0 || until(mah) || (i < 0 && mah <= 0) || (i > 0 && mah >= kCapacity)) return;
      mah = std::clamp(mah + i * kStep / 3600, 0.0, kCapacity);
      t += kStep;
    }
  }

  void sample(double current, double nominal_watts) {
    history::Sample s;
    s.time = static_cast<std::int64_t>(t);
    s.external = charging;
    s.charging = charging && current > 0;
    s.full = charging && current == 0;
    s.raw_capacity = std::llround(mah);
    s.max_capacity = std::llround(kCapacity);
    s.level = static_cast<std::int32_t>(mah / kCapacity * 100);
    double reading = current * (1 + 0.03 * gauss());
    // One reading in 150 is a glitch: nought, or four times the truth.
    if (std::uniform_int_distribution<int>(0, 149)(noise) == 0) reading = (noise() & 1) ? 0 : reading * 4;
    s.amperage = std::llround(reading);
    s.voltage = std::llround((ocv(mah / kCapacity) + current / 1000 * kResistance) * 1000);
    TracePoint p{s, std::nullopt};
    if (current != 0) p.truth_seconds = time_left(mah, nominal_watts, charging);
    trace.points.push_back(p);
  }
};

}  // namespace

Trace synthetic_discharge(const std::string& first, const std::string& second, unsigned seed) {
  Run r("discharge " + first + " > " + second, kCapacity, false, seed);
  // Halfway through the life under the first load.
  double half = time_left(kCapacity, usage_watts(first), false) / 2;
  double start = r.t;
  r.run(usage_watts(first), [&](double) { return r.t - start >= half; });
  r.trace.load_change = static_cast<std::int64_t>(r.t);
  r.run(usage_watts(second), [](double) { return false; });
  return r.trace;
}

Trace synthetic_charge(int from_percent, const std::string& first, const std::string& second, unsigned seed) {
  Run r("charge from " + std::to_string(from_percent) + " % " + first + " > " + second,
        kCapacity * from_percent / 100.0, true, seed);
  double halfway = r.mah + (kCapacity - r.mah) / 2;
  r.run(usage_watts(first), [&](double mah) { return mah >= halfway; });
  r.trace.load_change = static_cast<std::int64_t>(r.t);
  r.run(usage_watts(second), [](double) { return false; });
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
  bool has_truth = line.find("truth_seconds") != std::string::npos;
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
      if (has_truth && cells.size() > 7 && !cells[7].empty()) p.truth_seconds = std::stod(cells[7]);
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

}  // namespace bench
