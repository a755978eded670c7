#pragma once
// Whole-file reads and tail reads of files that only grow: the ways the
// system reads its files (atomic replacement is platform/sim/atomic_write.h).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/result.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation {

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
Result<std::string> read_device_file(const sim::DevicePath& device_file, std::size_t limit,
                                     std::string&& storage = std::string());

// The last `max_bytes` of a device file (all of a shorter one), resolved
// inside the root as read_device_file resolves it. For a file that grows
// without end (the syslog): the cost and the memory of a read stay those of
// the tail, however long the file has become. Not a regular file: unreadable.
Result<std::string> read_device_file_tail(const sim::DevicePath& device_file, std::size_t max_bytes);

}  // namespace px::platform::foundation
