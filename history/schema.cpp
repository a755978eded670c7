#include "history/schema.h"

#include <string>
#include <tuple>
#include <vector>

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

using SchemaRow = std::tuple<std::string, std::string, std::string, std::string>;

// The schema as sqlite_schema lists it: type, name, table and the SQL text.
std::vector<SchemaRow> schema_rows(sqlite::Database& db, sqlite::Status& status) {
  std::vector<SchemaRow> rows;
  sqlite::Statement st =
      db.prepare("SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_schema ORDER BY name", &status);
  if (!st.valid()) return rows;
  // More objects than ours is a mismatch already; never read an unbounded list.
  while (rows.size() <= 16 && st.step())
    rows.emplace_back(st.column_text(0), st.column_text(1), st.column_text(2), st.column_text(3));
  if (!st.status().ok()) status = st.status();
  return rows;
}

// What a store of this version holds: the steps run on an empty database,
// as every store the writer made or migrated ran them.
const std::vector<SchemaRow>& expected_schema() {
  static const std::vector<SchemaRow> rows = [] {
    sqlite::Database db;
    sqlite::Status s = sqlite::Database::open(":memory:", sqlite::OpenMode::read_write_create, db);
    for (std::int64_t v = 0; s.ok() && v < kSchemaVersion; ++v) s = db.exec(kSteps[v]);
    return s.ok() ? schema_rows(db, s) : std::vector<SchemaRow>{};
  }();
  return rows;
}

}  // namespace

bool schema_is_current(sqlite::Database& db, sqlite::Status& status) {
  status = {};
  std::vector<SchemaRow> rows = schema_rows(db, status);
  if (!status.ok()) return false;
  return !expected_schema().empty() && rows == expected_schema();
}

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
