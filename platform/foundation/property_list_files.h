#pragma once
// The Foundation face of property-list files, taking device paths:
// NSDictionary dictionaryWithContentsOfFile: and writeToFile:atomically:.

#include "platform/foundation/value.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation {

// The file's root dictionary, or nothing when the file is absent, unreadable,
// not a property list or not a dictionary.
Value dictionaryWithContentsOfFile(const sim::DevicePath& device_file);
// Writes an XML property list; with atomically the file is replaced whole.
// Nothing happens for nothing; false when the write was refused.
bool writeToFile(const Value& object, const sim::DevicePath& device_file, bool atomically = true);

}  // namespace px::platform::foundation
