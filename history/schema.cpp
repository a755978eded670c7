#include "history/schema.h"

#include <string>

#include "history/store.h"

namespace history {
namespace {

// Step i brings version i to version i + 1. New versions append a step;
// nothing here is ever edited once released.
constexpr const char* kSteps[] = {
    // 0 → 1: the samples and the writer's own bookkeeping (thinning marks).
    "CREATE TABLE samples("
    "  time INTEGER NOT NULL,"
    "  level INTEGER, charging INTEGER, external INTEGER, full INTEGER,"
    "  raw_capacity INTEGER, max_capacity INTEGER, design_capacity INTEGER, cycles INTEGER,"
    "  temperature INTEGER, voltage INTEGER, amperage INTEGER, watts REAL);"
    "CREATE INDEX samples_by_time ON samples(time);"
    "CREATE TABLE store_state(key TEXT PRIMARY KEY, value INTEGER) WITHOUT ROWID;",
};
static_assert(std::size(kSteps) == kSchemaVersion, "one migration step per schema version");

}  // namespace

MigrationResult migrate(sqlite::Database& db, sqlite::Status& status) {
  std::optional<std::int64_t> version = db.query_int("PRAGMA user_version", &status);
  if (!version) return MigrationResult::failed;
  if (*version == kSchemaVersion) return MigrationResult::current;
  if (*version > kSchemaVersion) return MigrationResult::newer;

  sqlite::Transaction tx(db, "IMMEDIATE");
  if (!tx.begun().ok()) {
    status = tx.begun();
    return MigrationResult::failed;
  }
  // Read again under the write lock: another writer may have migrated meanwhile.
  version = db.query_int("PRAGMA user_version", &status);
  if (!version) return MigrationResult::failed;
  if (*version == kSchemaVersion) return MigrationResult::current;
  if (*version > kSchemaVersion) return MigrationResult::newer;
  if (*version < 0) return MigrationResult::foreign;
  if (*version == 0) {
    std::optional<std::int64_t> tables = db.query_int("SELECT count(*) FROM sqlite_schema", &status);
    if (!tables) return MigrationResult::failed;
    if (*tables != 0) return MigrationResult::foreign;
  }
  for (std::int64_t v = *version; v < kSchemaVersion; ++v) {
    status = db.exec(kSteps[v]);
    if (!status.ok()) return MigrationResult::failed;
  }
  status = db.exec("PRAGMA user_version=" + std::to_string(kSchemaVersion));
  if (!status.ok()) return MigrationResult::failed;
  status = tx.commit();
  return status.ok() ? MigrationResult::migrated : MigrationResult::failed;
}

}  // namespace history
