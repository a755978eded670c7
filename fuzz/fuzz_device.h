#pragma once
// One device root per fuzzing process, made on first use and removed at
// exit; entries write their input into it as the file the system reads.

#include <string>
#include <string_view>

namespace px::fuzz {

// Makes the device (layout, root set) once; later calls return its root.
const std::string& fuzz_device_root();
// Writes `bytes` as the device file `device_file` (created or replaced).
void put_device_file(std::string_view device_file, std::string_view bytes);
// Empties the device's syslog so that logging entries do not grow it without end.
void truncate_device_log();

}  // namespace px::fuzz
