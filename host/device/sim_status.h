#pragma once
// The simulated battery's status dictionary: the AppleSmartBattery keys of an
// iPhone 5s cell, computed from a few model figures.

#include "platform/foundation/value.h"

namespace px::host::device {

inline constexpr int kDesignCapacity = 1560;       // mAh, the 5s cell
inline constexpr double kFreshMaxCapacity = 1498;  // mAh at boot, after some wear
inline constexpr int kFreshCycles = 212;
inline constexpr double kIdleTemperature = 2950;    // 29.50 °C
inline constexpr double kIdleDrainMilliamps = 180;  // what a held-still battery claims to draw

struct Figures {
  double level;
  bool connected;
  bool full;
  double now_unix;  // UpdateTime
  double max_capacity = kFreshMaxCapacity;
  int cycles = kFreshCycles;
  double temperature = kIdleTemperature;
  double milliamps = 0;  // > 0 into the battery
};

platform::foundation::Value status_of(const Figures& f);

}  // namespace px::host::device
