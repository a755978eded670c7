#pragma once
// Whole-file reads, tail reads of files that only grow, and atomic
// replacement: the ways the system touches its files.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/result.h"

namespace foundation {

// Reads a host file whole. Folders, empty FIFOs and devices, unreadable files
// and files over `limit` bytes are failures, never partial reads (nor waits).
// A path under the device root whose links lead out of it is unreadable: the
// device's files never stand for the machine's. (Under the root, bytes that
// fit the storage are taken without asking what the file is: a FIFO there
// whose writer has already written gives those bytes, as a file would.)
// The failure's code says which: missing, unreadable or too_large.
// `storage` is where the bytes go: a caller that reads often passes the
// buffer of its last read back, so that its capacity serves again. It is moved
// into the result only on success; on failure it stays with the caller, empty.
Result<std::string> read_whole_file(const std::string& host_path, std::size_t limit,
                                    std::string&& storage = std::string());
// The same for a device path ("/User/Library/…"), resolved inside the root.
Result<std::string> read_device_file(std::string_view device_file, std::size_t limit,
                                     std::string&& storage = std::string());

// The last `max_bytes` of a device file (all of a shorter one), resolved
// inside the root as read_device_file resolves it. For a file that grows
// without end (the syslog): the cost and the memory of a read stay those of
// the tail, however long the file has become. Not a regular file: unreadable.
Result<std::string> read_device_file_tail(std::string_view device_file, std::size_t max_bytes);

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

}  // namespace foundation
