#pragma once
// Where the device's processes are started from. The processes themselves
// (their pid files and the belongs-to-device check) are
// platform/system/device_process.h.

#include <string>

namespace px::host::common {

// The folder of the running executable.
std::string own_exe_dir();
// The folder holding the device binaries: $SIMDEVICE_BIN_DIR, else own_exe_dir().
std::string device_bin_dir();

}  // namespace px::host::common
