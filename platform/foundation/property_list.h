#pragma once
// Apple property lists through libplist: XML and binary read (binary is
// recognised by its "bplist00" magic), XML written the way writeToFile:
// writes it, binary for user-defaults domains.
//
// libplist trusts its input and recurses on nesting, so every byte string is
// checked against the bounds below before libplist sees it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/result.h"
#include "platform/foundation/value.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation::plist {

// The bounds every property list read or written goes through. A document
// beyond any of them is refused whole (the reader's "no dictionary"); nothing
// is truncated or half-read.
//
// Files larger than this are refused, never read whole (the 10 MiB test file included).
inline constexpr std::size_t max_file_bytes = 4 * 1024 * 1024;
// Containers nested deeper than this are refused, in both directions
// (the root container is depth 1).
inline constexpr int max_depth = 128;
// A binary document may share one object between many references; libplist
// copies it at each. Documents expanding to more values than this are refused.
inline constexpr std::uint64_t max_nodes = 1u << 16;
// Dates are what libplist can hand out: int32_t seconds around 2001-01-01
// (1932-12-13T20:45:53Z to 2069-01-19T03:14:06Z), both formats, read and
// written; an XML date must be exactly "YYYY-MM-DDTHH:MM:SSZ".

enum class Format { xml, binary };

// Strings and keys that are not valid UTF-8 are read with each bad sequence
// replaced by U+FFFD, so that whatever was read can be written back. Fails
// with malformed (no bytes at all included), too_deep or too_large.
Result<Value> parse(std::string_view bytes);
// Nothing when the value cannot be written (nil inside a container, invalid
// UTF-8 or a NUL in a string, nesting beyond max_depth, a date libplist cannot
// hold). XML holds integers from INT64_MIN + 1: INT64_MIN is written as that.
std::optional<std::string> serialize(const Value& v, Format format);

// The root object of a host file; the failure is the file's (missing,
// unreadable, too_large) or its contents' (as parse says).
Result<Value> read_file(const std::string& host_path);
// The root dictionary of a host file, or nothing ("no dictionary") for every failure.
Value read_dictionary(const std::string& host_path);
// The same two for a device path, resolved inside the device root.
Result<Value> read_device_file(const sim::DevicePath& device_file);
Value read_device_dictionary(const sim::DevicePath& device_file);
// Replaces the host file whole, atomically; false when nothing was written
// (also when the document would exceed max_file_bytes, which no reader takes).
bool write_file(const std::string& host_path, const Value& v, Format format);

}  // namespace px::platform::foundation::plist
