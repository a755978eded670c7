#pragma once
// Opening a database that lives on the device, inside the device root like
// every other file the system touches: the folder is resolved as a device
// path and must really lie under the root, and the database file and its
// companions (-wal, -shm, -journal) must be plain files or absent, never a
// link or a folder. SQLite then opens the resolved path with links refused.

#include <string>
#include <string_view>

#include "platform/sqlite/database.h"

namespace px::platform::sqlite {

struct DeviceOpen {
  // The open connection, or why there is none.
  Result<Database> database;
  // When a file of the database's set is something else than a plain file
  // (a folder, a link, a device), its host path: the caller may move it aside.
  std::string unfit_host_path;
  // The host path the database was opened at (or would have been).
  std::string host_path;
};

// `device_file` is an absolute device path ("/var/mobile/Library/x.sqlite").
// A missing folder is a cant_open failure; so is a missing file when opening
// read-only. A file of the set that is not a plain file is a corrupt failure
// with unfit_host_path set.
DeviceOpen open_device_database(std::string_view device_file, OpenMode mode);

// The suffixes SQLite adds to a database's name for its companion files.
inline constexpr const char* kCompanionSuffixes[] = {"-wal", "-shm", "-journal"};

}  // namespace px::platform::sqlite
