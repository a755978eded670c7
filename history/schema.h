#pragma once
// The store's tables and the steps that bring an older store up to date.
// `PRAGMA user_version` holds the version; each step runs in the writer's
// transaction, so a store is at one version or the next, never between.

#include <cstdint>

#include "platform/sqlite/database.h"

namespace px::history {

// Migrates the store the connection holds to the current version, inside an
// immediate transaction. A store of a newer version is left untouched and
// reported as such (newer_schema is the caller's problem to name); a file
// that has tables but no version is not ours and counts as corrupt.
enum class Migration { current, migrated, newer, foreign };
platform::sqlite::Result<Migration> migrate(platform::sqlite::Database& db);

// Whether the store's tables, indexes and their definitions are exactly those
// the steps up to this version make: no table missing or with other columns,
// no view, trigger, constraint or index of its own (a CHECK or a UNIQUE index
// would make every insert fail for good). A store that is not is not ours.
// A failure when the schema could not be read.
platform::sqlite::Result<bool> schema_is_current(platform::sqlite::Database& db);

}  // namespace px::history
