#include "platform/foundation/user_defaults.h"

#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation {
namespace {
std::string& standard_domain() {
  static std::string d = "com.apple.springboard";
  return d;
}
}  // namespace

NSUserDefaults& NSUserDefaults::standardUserDefaults() {
  // One object for the life of the process: whoever looked it up earlier
  // still holds the live defaults after the domain is set or reset.
  static NSUserDefaults standard(standard_domain());
  if (standard.domain() != standard_domain()) standard.reload(standard_domain());
  return standard;
}

void NSUserDefaults::set_standard_domain(std::string domain) { standard_domain() = std::move(domain); }
void NSUserDefaults::reset_standard_for_testing() { standardUserDefaults().reload(standard_domain()); }

void NSUserDefaults::reload(std::string domain) {
  m_domain = std::move(domain);
  m_values = Value();
  m_loaded = false;
  m_dirty = false;
}

NSUserDefaults::NSUserDefaults(std::string domain) : m_domain(std::move(domain)) {}

sim::DevicePath NSUserDefaults::file() const {
  return sim::DevicePath("/var/mobile/Library/Preferences/" + m_domain + ".plist");
}

void NSUserDefaults::load_once() {
  if (m_loaded) return;
  m_loaded = true;
  m_values = plist::read_device_dictionary(file());
  if (!m_values.is_dictionary()) m_values = Value(Dictionary{});
}

Value NSUserDefaults::objectForKey(std::string_view key) {
  load_once();
  return m_values[key];
}

void NSUserDefaults::setObject(const Value& value, std::string_view key) {
  load_once();
  auto& d = m_values.mutable_dictionary();
  std::string k(key);
  if (value.is_nil()) {
    if (d.erase(k)) m_dirty = true;
    return;
  }
  auto it = d.find(k);
  if (it != d.end() && it->second == value && it->second.kind() == value.kind()) return;
  d[k] = value;
  m_dirty = true;
}

Value NSUserDefaults::stringForKey(std::string_view key) { return objectForKey(key).stringValue(); }

bool NSUserDefaults::boolForKey(std::string_view key) { return objectForKey(key).boolValue(); }

bool NSUserDefaults::synchronize() {
  load_once();
  if (!m_dirty) return true;
  if (!plist::write_file(file().host(), m_values, plist::Format::binary)) return false;
  m_dirty = false;
  return true;
}

Value NSUserDefaults::dictionaryRepresentation() {
  load_once();
  return m_values;
}

}  // namespace px::platform::foundation
