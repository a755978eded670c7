#pragma once
// NSLog: one line "<date> <device> <process>[<pid>] <Notice>: <text>" appended
// to the device's /var/log/syslog, and to standard error while the process
// runs in the foreground. The date is the device clock's, in local time.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/foundation/format.h"

namespace px::platform::foundation {

// The device log every process appends to (a device path).
inline constexpr const char* kSyslogFile = "/var/log/syslog";

void set_process_name(std::string name);
const std::string& process_name();
void set_log_to_stderr(bool on);

// The most of a line's text written to the log: a reply, a status dictionary or
// a file's content logged with "%@" must not flood the device log.
inline constexpr std::size_t kLogTextLimit = 4096;
// The text as logged: whole when within the limit, else its first
// kLogTextLimit bytes (never cutting a UTF-8 sequence) then "… (N bytes)",
// N being the whole text's size.
std::string bounded_log_text(std::string_view text);

// Writes one already formatted line, bounded as above.
void log_line(std::string_view text);

// The format is checked against the arguments when compiling, as format()'s is.
template <class... A>
void NSLog(format_string<A...> fmt, A&&... args) {
  log_line(format(fmt, std::forward<A>(args)...));
}

}  // namespace px::platform::foundation

using px::platform::foundation::NSLog;
