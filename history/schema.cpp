#include "history/schema.h"

#include <string>
#include <tuple>
#include <vector>

#include "history/store.h"

namespace px::history {
namespace {

// Step i brings version i to version i + 1. New versions append a step;
// nothing here is ever edited once released. A reading added to the sample's
// field table (sample_fields.h) comes with a step adding its column.
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
platform::sqlite::Result<std::vector<SchemaRow>> schema_rows(platform::sqlite::Database& db) {
  std::vector<SchemaRow> rows;
  platform::sqlite::Statement st =
      TRY(db.prepare("SELECT type, name, tbl_name, coalesce(sql, '') FROM sqlite_schema ORDER BY name"));
  // More objects than ours is a mismatch already; never read an unbounded list.
  while (rows.size() <= 16 && st.step())
    rows.emplace_back(st.column_text(0), st.column_text(1), st.column_text(2), st.column_text(3));
  TRY(st.status());
  return rows;
}

// What a store of this version holds: the steps run on an empty database,
// as every store the writer made or migrated ran them.
const std::vector<SchemaRow>& expected_schema() {
  static const std::vector<SchemaRow> rows = []() -> std::vector<SchemaRow> {
    platform::sqlite::Result<platform::sqlite::Database> db =
        platform::sqlite::Database::open(":memory:", platform::sqlite::OpenMode::read_write_create);
    if (!db) return {};
    for (std::int64_t v = 0; v < kSchemaVersion; ++v)
      if (!db->exec(kSteps[v])) return {};
    return schema_rows(*db).value_or({});
  }();
  return rows;
}

// "PRAGMA user_version": a store without one (a failure to read it aside) is not ours.
platform::sqlite::Result<std::int64_t> user_version(platform::sqlite::Database& db) {
  std::optional<std::int64_t> version = TRY(db.query_int("PRAGMA user_version"));
  if (!version) return platform::sqlite::Error{platform::sqlite::Failure::corrupt, 0, "no schema version"};
  return *version;
}

}  // namespace

platform::sqlite::Result<bool> schema_is_current(platform::sqlite::Database& db) {
  std::vector<SchemaRow> rows = TRY(schema_rows(db));
  return !expected_schema().empty() && rows == expected_schema();
}

platform::sqlite::Result<Migration> migrate(platform::sqlite::Database& db) {
  std::int64_t version = TRY(user_version(db));
  if (version == kSchemaVersion) return Migration::current;
  if (version > kSchemaVersion) return Migration::newer;

  platform::sqlite::Transaction tx(db, "IMMEDIATE");
  TRY(tx.begun());
  // Read again under the write lock: another writer may have migrated meanwhile.
  version = TRY(user_version(db));
  if (version == kSchemaVersion) return Migration::current;
  if (version > kSchemaVersion) return Migration::newer;
  if (version < 0) return Migration::foreign;
  if (version == 0) {
    std::optional<std::int64_t> tables = TRY(db.query_int("SELECT count(*) FROM sqlite_schema"));
    if (tables.value_or(0) != 0) return Migration::foreign;
  }
  for (std::int64_t v = version; v < kSchemaVersion; ++v) TRY(db.exec(kSteps[v]));
  TRY(db.exec("PRAGMA user_version=" + std::to_string(kSchemaVersion)));
  TRY(tx.commit());
  return Migration::migrated;
}

}  // namespace px::history
