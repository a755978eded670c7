#include "host/device/battery_driver.h"

#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"

namespace px::host::device {
namespace {
// UpdateTime moves on every reading; a change of it alone is no news.
platform::foundation::Value without_time(platform::foundation::Value entry) {
  if (entry.is_dictionary() && entry["Status"].is_dictionary()) {
    auto& d = entry.mutable_dictionary();
    d["Status"].mutable_dictionary().erase("UpdateTime");
  }
  if (entry.is_dictionary()) entry.mutable_dictionary().erase("Generation");
  return entry;
}
}  // namespace

BatteryDriver::BatteryDriver(std::unique_ptr<BatterySource> source, std::function<double()> elapsed,
                             std::function<double()> wall)
    : m_source(std::move(source)), m_elapsed(std::move(elapsed)), m_wall(std::move(wall)) {}

void BatteryDriver::start() {
  m_generation = platform::sim::battery_entry()["Generation"].longLongValue();
  if (m_generation < 0) m_generation = 0;
  write(compose(true));
}

platform::foundation::Value BatteryDriver::compose(bool with_status) {
  BatterySample s = m_source->sample(m_elapsed(), m_wall());
  double level = m_level_override.value_or(s.level);
  int state = m_state_override.value_or(s.state);
  platform::foundation::Dictionary entry{{"Level", level}, {"State", state}};
  if (with_status) {
    platform::foundation::Value status = m_overrides.apply(s.status);
    if (status.is_dictionary()) entry["Status"] = std::move(status);
  }
  return entry;
}

bool BatteryDriver::write(platform::foundation::Value entry) {
  auto& d = entry.mutable_dictionary();
  d["Generation"] = m_generation + 1;
  if (!platform::foundation::plist::write_file(platform::sim::DevicePath(platform::sim::kBatteryEntry).host(), entry,
                                               platform::foundation::plist::Format::xml))
    return false;
  ++m_generation;
  m_written_at = m_elapsed();
  m_last_compared = without_time(entry);
  m_entry = std::move(entry);
  return true;
}

bool BatteryDriver::poll() {
  if (m_handled) {
    auto handled = m_handled();
    if (handled && *handled < m_generation && m_elapsed() - m_written_at < 0.25) return false;
  }
  platform::foundation::Value next = compose(true);
  if (without_time(next) == m_last_compared) return false;
  return write(std::move(next));
}

long long BatteryDriver::apply(const BatteryChange& change) {
  double t = m_elapsed();
  if (change.resets()) {
    m_level_override.reset();
    m_state_override.reset();
  }
  if (change.level && !m_source->take_level(*change.level, t)) m_level_override = change.level;
  if (change.state && !m_source->take_state(*change.state, t)) m_state_override = change.state;
  for (const auto& edit : change.edits) {
    switch (edit.kind) {
      case KeyEdit::Kind::set:
        m_overrides.set(edit.key, edit.value);
        break;
      case KeyEdit::Kind::unset:
        m_overrides.unset(edit.key);
        break;
      case KeyEdit::Kind::reset:
        m_overrides.clear();
        break;
    }
  }
  return write(compose(!change.no_status)) ? m_generation : 0;
}

platform::foundation::Result<long long> BatteryDriver::plug(bool connected) {
  if (auto plugged = m_source->plug(connected, m_elapsed()); !plugged) return plugged.error();
  m_state_override.reset();
  if (!write(compose(true)))
    return platform::foundation::fail(platform::foundation::Errc::io, "the battery entry could not be written");
  return m_generation;
}

platform::foundation::Result<long long> BatteryDriver::set_usage(const std::string& name) {
  if (auto set = m_source->set_usage(name, m_elapsed()); !set) return set.error();
  if (!write(compose(true)))
    return platform::foundation::fail(platform::foundation::Errc::io, "the battery entry could not be written");
  return m_generation;
}

}  // namespace px::host::device
