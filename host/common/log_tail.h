#pragma once
// The last lines of a device log that only grows (the syslog): read from the
// file's end, a window at a time, so that showing 200 lines costs 200 lines
// however long the device has been logging.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace px::host::common {

// The last `count` lines of `device_file`, oldest first, each without its
// line feed (a last line the writer has not ended yet counts as a line).
// Nothing for a missing or unreadable file.
std::vector<std::string> last_log_lines(std::string_view device_file, std::size_t count);

// The same lines as text, each ended by a line feed (what `log -n N` prints).
std::string last_log_text(std::string_view device_file, std::size_t count);

// The last `count` lines of `text`, the same way.
std::vector<std::string> last_lines(std::string_view text, std::size_t count);

}  // namespace px::host::common
