#pragma once
// The iOS folder layout of a device root: the folders the system and the
// stand-ins write into, and "User" as a link to "var/mobile", so that
// "/User/Library/…" and "/var/mobile/Library/…" are one file, as on the device.

#include <string>

#include "platform/foundation/result.h"

namespace px::host::common {

// Creates whatever of the layout is missing; existing files are kept. Fails
// (io, naming the folder) when the root cannot be made.
platform::foundation::Result<void> make_device_layout(const std::string& root);

}  // namespace px::host::common
