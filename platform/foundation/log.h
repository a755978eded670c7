#pragma once
// NSLog: one line "<date> <device> <process>[<pid>] <Notice>: <text>" appended
// to the device's /var/log/syslog, and to standard error while the process
// runs in the foreground.

#include <string>
#include <string_view>

#include "platform/foundation/format.h"

namespace foundation {

void set_process_name(std::string name);
const std::string& process_name();
void set_log_to_stderr(bool on);

// Writes one already formatted line.
void log_line(std::string_view text);

template <class... A>
void NSLog(std::string_view fmt, A&&... args) {
  log_line(format(fmt, std::forward<A>(args)...));
}

}  // namespace foundation

using foundation::NSLog;
