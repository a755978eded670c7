#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "history/overview.h"
#include "platform/sim/device_paths.h"
#include "shared/names.h"

namespace px::fuzz {
namespace {

bool finite_or_absent(const std::optional<double>& v) { return !v || std::isfinite(*v); }

}  // namespace

void history_store(std::string_view bytes) {
  fuzz_device_root();
  std::string host = platform::sim::DevicePath(shared::kHistoryStoreFile).host();
  for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(host + suffix);
  put_device_file(shared::kHistoryStoreFile, bytes);

  // What the pane reads, at a time inside any plausible history and one far out.
  for (std::int64_t now : {std::int64_t{1767225600}, std::int64_t{4102444800}}) {
    history::HistoryReader reader;
    history::HistoryOverview o = history::read_overview(reader, now);
    if (!o.status.ok()) continue;
    require(
        finite_or_absent(o.health_now) && finite_or_absent(o.health_30_days_ago) && finite_or_absent(o.cycles_per_day),
        "figures are numbers or absent");
    require(o.last_sessions.size() <= history::kListedSessions, "at most the listed sessions");
    for (const auto& s : o.last_sessions) require(s.duration >= 0, "no session lasts less than nothing");
    for (const auto& s : o.last_24_hours)
      require(!s.level || (*s.level >= 0 && *s.level <= 100), "levels are percents");
    const history::Forecast& f = o.forecast;
    if (f.status == history::ForecastStatus::ok) {
      require(f.cycles_to_80 && std::isfinite(*f.cycles_to_80) && *f.cycles_to_80 >= 0, "a forecast has its cycles");
      require(f.cycles_to_80_low && *f.cycles_to_80_low <= *f.cycles_to_80, "the range holds the forecast");
      require(!f.cycles_to_80_high || *f.cycles_to_80_high >= *f.cycles_to_80, "the range holds the forecast");
    }
  }
  // What the command line reads: every sample, and the sessions over them.
  history::HistoryReader reader;
  if (reader.open().ok()) {
    std::vector<history::Sample> all = reader.samples();
    std::vector<history::ChargeSession> sessions = history::charge_sessions(all);
    require(sessions.size() <= all.size(), "a session needs a sample");
  }
  // A reader never changes the store.
  std::string after;
  std::error_code ec;
  require(std::filesystem::file_size(host, ec) == bytes.size() && !ec, "the store is read, never written");
}

}  // namespace px::fuzz
