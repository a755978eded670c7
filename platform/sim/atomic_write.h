#pragma once
// Replacing a file whole: the one way the system writes the files other
// processes read (property lists, the device clock, pid files, drawn images).
// It sits with the device root because a write under the root must stay
// inside it.

#include <string>
#include <string_view>

namespace px::platform::sim {

// Writes `bytes` to a temporary file in the same folder (refused when the
// folder under the device root is a link out of it), flushes it to disk,
// renames it over `host_path` and flushes the folder: a reader sees the old
// file or the new one, never a mixture, even across a power loss. On failure
// the old file is untouched and no temporary file is left behind.
//
// The temporary file is ".<name>.tmp-<pid>-XXXXXX". A writer killed before its
// rename leaves it behind; every write first removes the temporaries of the
// same file whose writer is no longer running, or that are older than
// kStaleTempSeconds, so leftovers never pile up and are never mistaken for data.
bool write_file_atomically(const std::string& host_path, std::string_view bytes);
inline constexpr long kStaleTempSeconds = 30;

// Turns the fsync calls off or on (benchmarks measure both; the default is on).
void set_durable_writes(bool on);

}  // namespace px::platform::sim
