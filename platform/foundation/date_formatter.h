#pragma once
// NSDateFormatter over ICU's SimpleDateFormat, so that patterns such as
// "HH:mm '-' '1500 mAh'" and "MM/dd/yyyy hh:mma" mean what they mean on the device.

#include <memory>
#include <string>

#include "platform/objc/native_class.h"

namespace px::platform::foundation {

class NSDateFormatter : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<NSDateFormatter> make() { return objc::make_native<NSDateFormatter>(); }

  NSDateFormatter();
  ~NSDateFormatter() override;

  void setDateFormat(const std::string& pattern);
  const std::string& dateFormat() const { return m_pattern; }
  // An Olson identifier ("Europe/Rome"); empty means the system time zone.
  void setTimeZone(const std::string& zone);
  // A locale identifier ("en_US"); empty means the current locale.
  void setLocale(const std::string& locale);
  // The text of a moment given in Unix seconds.
  std::string stringFromDate(double unix_seconds) const;

 private:
  void rebuild();
  struct Impl;
  std::unique_ptr<Impl> m_impl;
  std::string m_pattern;
  std::string m_zone;
  std::string m_locale;
};

}  // namespace px::platform::foundation
