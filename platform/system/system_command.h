#pragma once
// The C library's `system` and `uname` as the system sees them on the device.
//
// `system` runs no shell. The one command line the system issues, the
// SpringBoard restart "killall -9 SpringBoard", is carried out by sending
// SIGKILL to this device's own SpringBoard, found by the process id the
// supervisor records in /var/run/SpringBoard.pid, and only after checking
// that the process's environment names this device root. No other process
// on the machine can be reached, and no process is ever looked up by name.

#include <string>
#include <string_view>

namespace sys {

// The exit status the shell would give: 0 when SpringBoard was signalled,
// 1 when no SpringBoard of this device runs (as killall reports "No matching
// processes"), 127 for any other command (not run).
int system(std::string_view command);

// The process id recorded for a device process (/var/run/<name>.pid), or 0.
int recorded_pid(std::string_view process_name);
// True when /proc/<pid>/environ holds SIMDEVICE_ROOT=<this device's root>.
bool process_belongs_to_device(int pid);

struct utsname_fields {
  std::string sysname, nodename, release, version, machine;
};
// `machine` is the device's machine identifier ("iPhone6,1"), read from the
// device root's SystemVersion.plist (ProductType); the other fields are those
// of the device's kernel.
utsname_fields uname();

}  // namespace sys
