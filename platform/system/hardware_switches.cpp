#include "platform/system/hardware_switches.h"

#include <algorithm>
#include <cmath>

#include "platform/sim/hardware/hardware_state.h"

namespace px::platform::system {

bool is_on(Switch id) {
  foundation::Value v = sim::hardware_value(switch_info(id).name);
  if (const bool* b = v.boolean()) return *b;
  if (const std::int64_t* i = v.integer()) return *i != 0;
  return switch_info(id).fallback != 0;
}

double level(Switch id) {
  foundation::Value v = sim::hardware_value(switch_info(id).name);
  return v.is_number() ? v.doubleValue() : switch_info(id).fallback;
}

long long count(Switch id) {
  foundation::Value v = sim::hardware_value(switch_info(id).name);
  return v.is_number() ? v.longLongValue() : static_cast<long long>(switch_info(id).fallback);
}

foundation::Value reading(Switch id) {
  switch (switch_info(id).kind) {
    case SwitchKind::flag:
      return foundation::Value(is_on(id));
    case SwitchKind::level:
      return foundation::Value(level(id));
    case SwitchKind::count:
      return foundation::Value(count(id));
  }
  return {};
}

foundation::Value fallback_value(Switch id) {
  const SwitchInfo& s = switch_info(id);
  switch (s.kind) {
    case SwitchKind::flag:
      return foundation::Value(s.fallback != 0);
    case SwitchKind::level:
      return foundation::Value(s.fallback);
    case SwitchKind::count:
      return foundation::Value(static_cast<long long>(s.fallback));
  }
  return {};
}

bool set_on(Switch id, bool on) { return sim::set_hardware_value(switch_info(id).name, foundation::Value(on)); }

bool set_level(Switch id, double value) {
  if (!std::isfinite(value)) return false;
  // "-0" is the same as 0: stored without its sign.
  return sim::set_hardware_value(switch_info(id).name, foundation::Value(std::clamp(value, 0.0, 1.0) + 0.0));
}

bool set_count(Switch id, long long value) {
  return sim::set_hardware_value(switch_info(id).name, foundation::Value(value));
}

Turned turn(Switch id, bool on) {
  Turned turned;
  turned.written = set_on(id, on);
  if (!turned.written || id != Switch::airplane || !on) return turned;
  for (const auto& s : kSwitches)
    if (s.off_in_airplane && set_on(s.id, false)) turned.also_off.push_back(s.id);
  return turned;
}

}  // namespace px::platform::system
