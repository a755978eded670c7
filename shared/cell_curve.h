#pragma once
// This phone's lithium-ion cell (graphite / LiCoO2, charged to 4.35 V): its
// open-circuit voltage by state of charge. One table: the simulated battery's
// cell follows it, and the time-left estimate reads from it where a charge's
// constant-voltage taper begins and how it runs (docs/battery-model.md).

#include <algorithm>
#include <array>
#include <utility>

namespace px::shared {

// The charger's constant-voltage stage (V).
inline constexpr double kCellChargeVolts = 4.35;

// Steep below 10 %, flat through the middle, steepening above 80 %.
inline constexpr std::array<std::pair<double, double>, 15> kCellOpenCircuitVolts{{{0.00, 3.30},
                                                                                  {0.02, 3.50},
                                                                                  {0.05, 3.62},
                                                                                  {0.10, 3.69},
                                                                                  {0.20, 3.74},
                                                                                  {0.30, 3.77},
                                                                                  {0.40, 3.80},
                                                                                  {0.50, 3.84},
                                                                                  {0.60, 3.89},
                                                                                  {0.70, 3.96},
                                                                                  {0.80, 4.05},
                                                                                  {0.90, 4.15},
                                                                                  {0.95, 4.22},
                                                                                  {0.98, 4.28},
                                                                                  {1.00, 4.33}}};

// The open-circuit voltage (V) at a state of charge 0..1, interpolated linearly.
inline double cell_open_circuit_volts(double soc) {
  const auto& t = kCellOpenCircuitVolts;
  soc = std::clamp(soc, 0.0, 1.0);
  auto upper = std::lower_bound(t.begin(), t.end(), soc, [](const auto& p, double s) { return p.first < s; });
  if (upper == t.begin()) return upper->second;
  auto lower = upper - 1;
  return lower->second + (soc - lower->first) / (upper->first - lower->first) * (upper->second - lower->second);
}

}  // namespace px::shared
