// The readers' memory over a crafted store: `px_history_memory fill ROOT N`
// makes a store of N samples (the writer's schema, then rows added in SQL,
// all in the last 24 hours but for one a day back to a year), and
// `px_history_memory pane ROOT` reads it as the History pane does (every
// figure and both charts' data). bench/history_memory.sh runs them and
// `simdevice history` under /usr/bin/time for docs/benchmarks.md.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/store.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/sqlite/device_database.h"
#include "prefs/history_snapshot.h"
#include "shared/names.h"

namespace {

constexpr std::int64_t kNow = 1'767'225'600;  // 2026-01-01T00:00:00Z

int fill(long long rows) {
  {
    px::history::HistoryWriter writer;
    px::history::Sample first;
    first.time = kNow - 365 * 86400;
    first.level = 50;
    if (writer.record(first, first.time).outcome != px::history::RecordOutcome::stored) {
      std::fprintf(stderr, "the store could not be made\n");
      return 1;
    }
  }
  px::platform::sqlite::DeviceOpen opened = px::platform::sqlite::open_device_database(
      px::shared::kHistoryStoreFile, px::platform::sqlite::OpenMode::read_write_create);
  if (!opened.database) return 1;
  px::platform::sqlite::Database& db = *opened.database;
  // One sample a day for a year (health fading, cycles rising), then `rows`
  // in the last day, the charger on and off every 500 rows.
  std::string sql =
      "BEGIN;"
      "WITH RECURSIVE d(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM d WHERE i < 364)"
      " INSERT INTO samples SELECT " +
      std::to_string(kNow - 365 * 86400) +
      " + i * 86400, 60, 0, 0, 0, 900, 1500 - i, 1560, i, 3000, 3800, -300, NULL FROM d;"
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(rows - 1) + ") INSERT INTO samples SELECT " + std::to_string(kNow - 86400) + " + i * 86400 / " +
      std::to_string(rows) +
      ", i % 101, (i / 500) % 2, (i / 500) % 2, 0, 900 + i % 50, 1135, 1560, 365, 3000, 3800, -300, 10.5 FROM n;"
      "COMMIT;";
  px::platform::sqlite::Result<> s = db.exec(sql);
  if (!s.ok()) {
    std::fprintf(stderr, "%s\n", s.error().message.c_str());
    return 1;
  }
  return 0;
}

int pane() {
  px::platform::sim::set_device_now(static_cast<double>(kNow));
  px::prefs::HistorySnapshot snap = px::prefs::read_history(kNow);
  std::printf("%s; %s; %zu sessions listed\n", snap.level_chart.summary.c_str(), snap.health_chart.summary.c_str(),
              snap.last_sessions.size());
  return snap.status.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: px_history_memory fill ROOT ROWS | pane ROOT\n");
    return 2;
  }
  px::platform::sim::set_device_root(argv[2]);
  std::string what = argv[1];
  if (what == "fill" && argc == 4) return fill(std::atoll(argv[3]));
  if (what == "pane") return pane();
  return 2;
}
