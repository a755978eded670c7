#pragma once
// The battery driver: the only writer of the device's battery entry
// (/var/run/hardware/battery.plist). It samples its source, keeps the keys set
// by hand on top, and replaces the entry whole, atomically, with a new
// Generation whenever what SpringBoard would broadcast changes.

#include <functional>
#include <memory>
#include <optional>

#include "host/device/battery_change.h"
#include "host/device/battery_source.h"

namespace px::host::device {

class BatteryDriver {
 public:
  // `elapsed` gives machine seconds since the driver started, `wall` the
  // device's Unix time; both injectable for tests.
  BatteryDriver(std::unique_ptr<BatterySource> source, std::function<double()> elapsed, std::function<double()> wall);

  // Writes the first entry, continuing the generation an earlier boot left.
  void start();
  // Samples the source; writes when the reading changed. True when written.
  bool poll();
  // Applies a `battery` command and always writes, so that every command is
  // one broadcast. Returns the generation written (0 when the write failed).
  long long apply(const BatteryChange& change);
  // `plug`/`unplug`; nothing with a reason when the source has no charger.
  platform::foundation::Result<long long> plug(bool connected);
  // `usage NAME`: the workload of a source with a load model, written at once.
  platform::foundation::Result<long long> set_usage(const std::string& name);

  // `handled` tells the generation SpringBoard has handled (nothing: no
  // SpringBoard to wait for). With it, a poll writes nothing new until the
  // last write was handled (or a quarter second went by), so that each
  // reading of a fast battery reaches SpringBoard whole: a reader asking for
  // the level after the status then gets the same reading's.
  void wait_for(std::function<std::optional<long long>()> handled) { m_handled = std::move(handled); }

  long long generation() const { return m_generation; }
  const BatterySource& source() const { return *m_source; }
  int poll_interval_ms() const { return m_source->poll_interval_ms(); }
  // The entry as last written.
  const platform::foundation::Value& entry() const { return m_entry; }

 private:
  platform::foundation::Value compose(bool with_status);
  bool write(platform::foundation::Value entry);

  std::unique_ptr<BatterySource> m_source;
  std::function<double()> m_elapsed;
  std::function<double()> m_wall;
  BatteryOverrides m_overrides;
  std::optional<double> m_level_override;  // for sources that do not model a battery
  std::optional<int> m_state_override;
  long long m_generation = 0;
  std::function<std::optional<long long>()> m_handled;
  double m_written_at = 0;  // elapsed seconds at the last write
  platform::foundation::Value m_entry;
  platform::foundation::Value m_last_compared;  // the entry without its time stamps
};

}  // namespace px::host::device
