#include "platform/foundation/property_list_files.h"

#include "platform/foundation/file_io.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation {

Value dictionaryWithContentsOfFile(const sim::DevicePath& device_file) {
  return plist::read_device_dictionary(device_file);
}

bool writeToFile(const Value& object, const sim::DevicePath& device_file, bool atomically) {
  if (object.is_nil()) return false;
  // Non-atomic writes are never used by the system; they take the same safe path.
  (void)atomically;
  return plist::write_file(device_file.host(), object, plist::Format::xml);
}

}  // namespace px::platform::foundation
