#pragma once
// Moving a damaged store out of the way, so the writer can start a new one
// while the old file stays for anyone who wants to look at it.

#include <cstdint>
#include <string>

namespace history {

// Renames `host_path` to "<host_path>.corrupt-<stamp>" (the stamp of
// foundation::aside_stamp for device time `now`, as every damaged file kept
// aside has), and its -wal, -shm and -journal files alongside under the same
// new name, so the set still opens together. Whatever stands at the path (a
// file, a folder, a link) is moved, never followed. Returns the new path, or
// empty when nothing could be moved.
std::string keep_database_aside(const std::string& host_path, std::int64_t now);

}  // namespace history
