#include "tests/history/history_fixture.h"

#include <sqlite3.h>

namespace px::history {

history::Sample sample_at(std::int64_t time, std::int32_t level, bool external) {
  history::Sample s;
  s.time = time;
  s.level = level;
  s.charging = external && level < 100;
  s.external = external;
  s.full = external && level == 100;
  s.raw_capacity = 15 * level;
  s.max_capacity = 1500;
  s.design_capacity = 1560;
  s.cycles = 100;
  s.temperature = 3050;
  s.voltage = 3800 + level;
  s.amperage = external ? 900 : -300;
  if (external) s.watts = 10.0;
  return s;
}

std::vector<history::Sample> HistoryTest::stored() {
  history::HistoryReader reader;
  history::StoreResult<> opened = reader.open();
  EXPECT_TRUE(opened.ok()) << history::problem_name(opened.error().problem) << ": " << opened.error().detail;
  std::vector<history::Sample> out = reader.samples();
  EXPECT_TRUE(reader.status().ok()) << reader.status().error().detail;
  return out;
}

long long HistoryTest::query(const std::string& sql) {
  sqlite3* db = nullptr;
  long long value = -1;
  if (sqlite3_open_v2(store_path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return value;
}

}  // namespace px::history
