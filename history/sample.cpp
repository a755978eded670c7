#include "history/sample.h"

#include <cmath>

namespace history {
namespace {

// Numbers only: a string or a container where a number belongs is as good as absent.
std::optional<std::int64_t> integer_of(const foundation::Value& v) {
  if (const std::int64_t* i = v.integer()) return *i;
  if (const double* d = v.real()) {
    if (!std::isfinite(*d) || std::fabs(*d) > 9.0e15) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*d));
  }
  if (const bool* b = v.boolean()) return *b ? 1 : 0;
  return std::nullopt;
}

std::optional<double> real_of(const foundation::Value& v) {
  if (const double* d = v.real()) return std::isfinite(*d) ? std::optional<double>(*d) : std::nullopt;
  if (const std::int64_t* i = v.integer()) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<bool> flag_of(const foundation::Value& v) {
  if (const bool* b = v.boolean()) return *b;
  if (const std::int64_t* i = v.integer()) return *i != 0;
  return std::nullopt;
}

}  // namespace

std::optional<double> Sample::health_percent() const {
  if (!max_capacity || !design_capacity || *design_capacity <= 0 || *max_capacity < 0) return std::nullopt;
  return 100.0 * static_cast<double>(*max_capacity) / static_cast<double>(*design_capacity);
}

Sample sample_from_status(const foundation::Value& status, std::optional<std::int32_t> level_percent,
                          double device_now) {
  Sample s;
  std::optional<std::int64_t> update_time = integer_of(status["UpdateTime"]);
  if (update_time && *update_time > 0)
    s.time = *update_time;
  else
    s.time = std::isfinite(device_now) ? static_cast<std::int64_t>(std::floor(device_now)) : 0;
  if (level_percent && *level_percent >= 0 && *level_percent <= 100) s.level = level_percent;
  s.charging = flag_of(status["IsCharging"]);
  s.external = flag_of(status["ExternalConnected"]);
  s.full = flag_of(status["FullyCharged"]);
  s.raw_capacity = integer_of(status["AppleRawCurrentCapacity"]);
  s.max_capacity = integer_of(status["MaxCapacity"]);
  s.design_capacity = integer_of(status["DesignCapacity"]);
  s.cycles = integer_of(status["CycleCount"]);
  s.temperature = integer_of(status["Temperature"]);
  s.voltage = integer_of(status["Voltage"]);
  s.amperage = integer_of(status["InstantAmperage"]);
  const foundation::Value& adapter = status["AdapterDetails"];
  if (adapter.is_dictionary()) s.watts = real_of(adapter["Watts"]);
  return s;
}

bool repeats(const Sample& previous, const Sample& next) {
  std::int64_t gap = next.time - previous.time;
  if (gap < 0 || gap >= kRepeatWindowSeconds) return false;
  Sample same_time = next;
  same_time.time = previous.time;
  return same_time == previous;
}

}  // namespace history
