#pragma once
// The C library's `system` and `uname` as the system sees them on the device.
//
// `system` runs no shell. The one command line the system issues, the
// SpringBoard restart "killall -9 SpringBoard", is carried out by sending
// SIGKILL to this device's own SpringBoard, found by the process id the
// supervisor records in /var/run/SpringBoard.pid, and only while it runs as
// one of this device's processes (platform/system/device_process.h). No other process
// on the machine can be reached, and no process is ever looked up by name.

#include <string>
#include <string_view>

namespace px::platform::system {

// The exit status the shell would give: 0 when SpringBoard was signalled,
// 1 when no SpringBoard of this device runs (as killall reports "No matching
// processes"), 127 for any other command (not run).
int system(std::string_view command);

// Where the device keeps its machine identifier (as ProductType), and the one
// a device gets when it is made and reports when the file names none.
inline constexpr const char* kSystemVersionFile = "/System/Library/CoreServices/SystemVersion.plist";
inline constexpr const char* kDefaultMachine = "iPhone6,1";
std::string machine_identifier();

struct utsname_fields {
  std::string sysname, nodename, release, version, machine;
};
// `machine` is machine_identifier(); the other fields are those of the
// device's kernel.
utsname_fields uname();

}  // namespace px::platform::system
