#pragma once
// Keeping a damaged file aside: before a file that cannot be read is replaced,
// it is renamed within its own folder, so what was there can still be looked
// at (or mended by hand) after the replacement is written.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/sim/device_paths.h"

namespace px::platform::sim {

// Renames `device_file` to "<file>.<reason>-YYYYMMDDTHHMMSSZ"
// in the same folder, the stamp being the device's clock in UTC; when that
// name is taken, "-2", "-3"… are appended, and nothing that exists is ever
// replaced. Whatever is at the path is moved as it is — a file, a folder, a
// FIFO, or a link itself (never followed) — and never deleted.
//
// Says where it went, or nothing when there was nothing to move (an absent
// file) or the rename was refused, with the line the caller logs whenever
// something was there: "<file> is <reason>: kept aside as <new path>", or why
// it could not be.
//
// Reasons in use: "unreadable" (a settings file that is not a dictionary),
// "corrupt" (a damaged store).
struct AsideOptions {
  // Files that belong with it, named "<file><suffix>" (a database's -wal,
  // -shm and -journal): each one present moves along to "<new name><suffix>"
  // (a name is taken only when it is free for every one of them), so the set
  // still opens together.
  std::span<const char* const> companions;
  // The time the stamp shows, in Unix seconds; the device's clock when absent.
  std::optional<double> at;
};
struct Aside {
  std::optional<DevicePath> moved;  // where the file now is
  std::string report;               // for the log; empty when nothing was there
};
Aside keep_aside(const DevicePath& device_file, std::string_view reason, const AsideOptions& options = {});

// "YYYYMMDDTHHMMSSZ" for Unix seconds, in UTC.
std::string aside_stamp(double unix_seconds);

}  // namespace px::platform::sim
