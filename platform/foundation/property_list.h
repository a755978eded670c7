#pragma once
// Apple property lists through libplist: XML and binary read (binary is
// recognised by its "bplist00" magic), XML written the way writeToFile:
// writes it, binary for user-defaults domains.
//
// libplist trusts its input and recurses on nesting, so every byte string is
// checked against the bounds below before libplist sees it.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/value.h"

namespace foundation::plist {

// Files larger than this are refused unread.
inline constexpr std::size_t max_file_bytes = 4 * 1024 * 1024;
// Containers nested deeper than this are refused, in both directions.
inline constexpr int max_depth = 128;

enum class Format { xml, binary };

enum class ParseFailure { empty, malformed, too_deep, too_large };

struct Parsed {
  Value value;
  std::optional<ParseFailure> failure;
};

Parsed parse(std::string_view bytes);
// Nothing when the value cannot be written (nil inside a container, invalid
// UTF-8 in a string, nesting beyond max_depth).
std::optional<std::string> serialize(const Value& v, Format format);

enum class FileStatus { ok, missing, unreadable, too_large, malformed, not_dictionary };

struct FileRead {
  Value value;
  FileStatus status = FileStatus::missing;
};

// Reads a host file. `value` is the root object when the status is ok.
FileRead read_file(const std::string& host_path);
// The root dictionary of a host file, or nothing ("no dictionary") for every failure.
Value read_dictionary(const std::string& host_path);
// Replaces the host file whole, atomically; false when nothing was written.
bool write_file(const std::string& host_path, const Value& v, Format format);

const char* describe(FileStatus s);

}  // namespace foundation::plist
