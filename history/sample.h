#pragma once
// One recorded battery broadcast. Every reading is optional: a key absent
// from the status (or not a number there) is stored as NULL and shown as
// empty, never as 0, so "no data" can't pass for a measurement.

#include <cstdint>
#include <optional>

#include "platform/foundation/value.h"

namespace px::history {

struct Sample {
  std::int64_t time = 0;                        // Unix seconds (UTC)
  std::optional<std::int32_t> level;            // level percent, 0..100
  std::optional<bool> charging;                 // IsCharging
  std::optional<bool> external;                 // ExternalConnected
  std::optional<bool> full;                     // FullyCharged
  std::optional<std::int64_t> raw_capacity;     // AppleRawCurrentCapacity, mAh
  std::optional<std::int64_t> max_capacity;     // MaxCapacity, mAh
  std::optional<std::int64_t> design_capacity;  // DesignCapacity, mAh
  std::optional<std::int64_t> cycles;           // CycleCount
  std::optional<std::int64_t> temperature;      // Temperature, hundredths of °C
  std::optional<std::int64_t> voltage;          // Voltage, mV
  std::optional<std::int64_t> amperage;         // InstantAmperage, mA (negative discharging)
  std::optional<double> watts;                  // AdapterDetails.Watts

  bool operator==(const Sample&) const = default;
  // Health: MaxCapacity ÷ DesignCapacity in percent, when both are known and
  // the design capacity is positive.
  std::optional<double> health_percent() const;
};

// The sample a broadcast makes. `status` is the BatteryStatus dictionary;
// `level_percent` the device's level percent (none when the platform cannot
// tell); `device_now` the device clock, used when the status has no
// UpdateTime.
Sample sample_from_status(const platform::foundation::Value& status, std::optional<std::int32_t> level_percent,
                          double device_now);

// The times the device's clock can show: 2001-01-01 ± 2^31 s (1932-12-13 to
// 2069-01-19). A row of a store outside them is not a sample (a crafted or
// damaged store); the writer records none and every reader skips them.
inline constexpr std::int64_t kEarliestSampleTime = 978307200 - (std::int64_t{1} << 31);
inline constexpr std::int64_t kLatestSampleTime = 978307200 + (std::int64_t{1} << 31) - 1;
inline constexpr bool time_in_device_range(std::int64_t t) {
  return t >= kEarliestSampleTime && t <= kLatestSampleTime;
}

// Whether `next` repeats `previous` closely enough not to be stored: every
// reading equal and taken less than kRepeatWindowSeconds later.
inline constexpr std::int64_t kRepeatWindowSeconds = 60;
bool repeats(const Sample& previous, const Sample& next);

}  // namespace px::history
