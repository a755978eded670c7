#include "platform/foundation/date_formatter.h"

#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace px::platform::foundation {

struct NSDateFormatter::Impl {
  std::unique_ptr<icu::SimpleDateFormat> format;
};

objc::Class NSDateFormatter::runtime_class() { return objc::native_class("NSDateFormatter"); }

NSDateFormatter::NSDateFormatter() : m_impl(std::make_unique<Impl>()) { rebuild(); }
NSDateFormatter::~NSDateFormatter() = default;

void NSDateFormatter::setDateFormat(const std::string& pattern) {
  m_pattern = pattern;
  rebuild();
}

void NSDateFormatter::setTimeZone(const std::string& zone) {
  m_zone = zone;
  rebuild();
}

void NSDateFormatter::setLocale(const std::string& locale) {
  m_locale = locale;
  rebuild();
}

void NSDateFormatter::rebuild() {
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale locale = m_locale.empty() ? icu::Locale::getDefault() : icu::Locale(m_locale.c_str());
  auto f = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(m_pattern), locale, status);
  if (U_FAILURE(status)) {
    m_impl->format.reset();  // an unusable pattern formats as the empty text, as NSDateFormatter does
    return;
  }
  if (!m_zone.empty()) {
    f->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(m_zone)));
  } else {
    f->adoptTimeZone(icu::TimeZone::detectHostTimeZone());
  }
  m_impl->format = std::move(f);
}

std::string NSDateFormatter::stringFromDate(double unix_seconds) const {
  if (!m_impl->format) return {};
  icu::UnicodeString text;
  m_impl->format->format(static_cast<UDate>(unix_seconds * 1000.0), text);
  std::string out;
  text.toUTF8String(out);
  return out;
}

}  // namespace px::platform::foundation
