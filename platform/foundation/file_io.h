#pragma once
// Whole-file reads and atomic replacement, the only two ways the system
// touches its files.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

enum class ReadFailure { missing, unreadable, too_large };

struct FileContents {
  std::string bytes;
  std::optional<ReadFailure> failure;
  bool ok() const { return !failure; }
};

// Reads a host file whole. Folders, unreadable files and files over `limit`
// bytes are failures, never partial reads.
FileContents read_whole_file(const std::string& host_path, std::size_t limit);

// Writes `bytes` to a temporary file in the same folder, flushes it to disk,
// renames it over `host_path` and flushes the folder: a reader sees the old
// file or the new one, never a mixture, even across a power loss. On failure
// the old file is untouched and no temporary file is left behind.
bool write_file_atomically(const std::string& host_path, std::string_view bytes);

// Turns the fsync calls off or on (benchmarks measure both; the default is on).
void set_durable_writes(bool on);

}  // namespace foundation
