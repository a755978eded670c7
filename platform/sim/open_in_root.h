#pragma once
// Opening a device file with the kernel resolving its path inside the device
// root (openat2 with RESOLVE_IN_ROOT): links and ".." are taken as the device
// takes them, absolute link targets from the device's "/", and nothing outside
// the root can be reached. One system call does what device_path does with a
// readlink per component, and the check that the file is inside the root.

#include <string>

#include "platform/sim/device_paths.h"

namespace px::platform::sim {

// A descriptor for `device_file` opened with `flags` (O_CLOEXEC is added), or
// -1 with errno set. errno is ENOSYS when this kernel cannot resolve inside a
// root (before Linux 5.6, or a filter refusing the call) or no root is set:
// the caller then resolves the path itself.
int open_in_device_root(const DevicePath& device_file, int flags);

// The same for a host path under the device root (what device_path returned,
// say); ENOSYS also for a path not under the root.
int open_host_path_in_device_root(const std::string& host_path, int flags);

// Whether `fd`, opened by the name `host_path`, is a file outside the device
// root although `host_path` is under it: a link inside the device (one a
// package brought, say) must not make a reader or a writer reach a file of the
// machine. Asked of the open descriptor, so the answer is about the file used,
// not a name. False for a path not under the root (a host path the user named).
bool opened_outside_root(int fd, const std::string& host_path);

}  // namespace px::platform::sim
