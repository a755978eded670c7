#pragma once
// NSUserDefaults: the process's own domain ("com.apple.springboard" for
// SpringBoard, "com.apple.Preferences" for the Settings app), stored as a
// binary property list at /var/mobile/Library/Preferences/<domain>.plist.
// Values are held in memory; synchronize writes the domain atomically.

#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/value.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation {

class NSUserDefaults {
 public:
  // The defaults of this process's domain (see set_standard_domain): one
  // object for the life of the process, never replaced, so a reference taken
  // earlier never dangles. Still, keep none: look it up where it is used.
  static NSUserDefaults& standardUserDefaults();
  static void set_standard_domain(std::string domain);
  // Resets the domain in place: the same object forgets what it holds
  // (unsaved changes included) and reads the file again on the next access
  // (tests that play several processes in one).
  static void reset_standard_for_testing();

  explicit NSUserDefaults(std::string domain);

  Value objectForKey(std::string_view key);
  // Storing nothing removes the entry.
  void setObject(const Value& value, std::string_view key);
  void removeObjectForKey(std::string_view key) { setObject(Value(), key); }
  // A stored string unchanged, a number as its decimal text, else nothing.
  Value stringForKey(std::string_view key);
  bool boolForKey(std::string_view key);
  void setBool(bool value, std::string_view key) { setObject(Value(value), key); }
  // Writes the domain when it changed since the last save; true when the file holds it.
  bool synchronize();

  const std::string& domain() const { return m_domain; }
  // The domain's file on the device.
  sim::DevicePath file() const;
  Value dictionaryRepresentation();

 private:
  void load_once();
  // Becomes the defaults of `domain` as the file holds them.
  void reload(std::string domain);
  std::string m_domain;
  Value m_values;
  bool m_loaded = false;
  bool m_dirty = false;
};

}  // namespace px::platform::foundation
