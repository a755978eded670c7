#include "host/common/time_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace px::host::common {
namespace {

// A cursor over the text that reads fixed-width fields.
class Reader {
 public:
  explicit Reader(const std::string& text) : m_text(text) {}
  bool done() const { return m_at == m_text.size(); }
  char peek() const { return done() ? '\0' : m_text[m_at]; }
  bool take(char c) {
    if (peek() != c) return false;
    ++m_at;
    return true;
  }
  // Exactly `min`..`max` digits.
  std::optional<int> digits(std::size_t min, std::size_t max) {
    std::size_t start = m_at;
    int value = 0;
    while (m_at - start < max && std::isdigit(static_cast<unsigned char>(peek())))
      value = value * 10 + (m_text[m_at++] - '0');
    if (m_at - start < min) return std::nullopt;
    return value;
  }

 private:
  const std::string& m_text;
  std::size_t m_at = 0;
};

std::optional<double> unix_seconds(const std::string& text) {
  std::size_t at = text[0] == '-' ? 1 : 0;
  std::size_t digits = 0, dots = 0;
  for (std::size_t i = at; i < text.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(text[i])))
      ++digits;
    else if (text[i] == '.' && dots == 0 && digits > 0)
      ++dots;
    else
      return std::nullopt;
  }
  if (digits == 0 || text.back() == '.' || digits > 15) return std::nullopt;
  return std::strtod(text.c_str(), nullptr);
}

struct Fields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool has_date = false;
  bool iso = false;                        // the date and time joined by T: a zone may follow
  std::optional<int> zone_offset_seconds;  // east of UTC
};

std::optional<Fields> read_fields(const std::string& text) {
  Reader r(text);
  Fields f;
  // "HH:MM" alone, or a date first.
  if (text.size() >= 5 && text[4] == '-') {
    auto year = r.digits(4, 4);
    if (!year || !r.take('-')) return std::nullopt;
    auto month = r.digits(2, 2);
    if (!month || !r.take('-')) return std::nullopt;
    auto day = r.digits(2, 2);
    if (!day) return std::nullopt;
    bool iso = r.take('T');
    if (!iso && !r.take(' ')) return std::nullopt;
    f.year = *year, f.month = *month, f.day = *day, f.has_date = true, f.iso = iso;
    auto hour = r.digits(1, 2);
    if (!hour || !r.take(':')) return std::nullopt;
    f.hour = *hour;
  } else {
    auto hour = r.digits(1, 2);
    if (!hour || !r.take(':')) return std::nullopt;
    f.hour = *hour;
  }
  auto minute = r.digits(2, 2);
  if (!minute) return std::nullopt;
  f.minute = *minute;
  if (f.has_date && r.take(':')) {
    auto second = r.digits(2, 2);
    if (!second) return std::nullopt;
    f.second = *second;
  }
  if (f.iso) {
    if (r.take('Z')) {
      f.zone_offset_seconds = 0;
    } else if (char sign = r.peek(); sign == '+' || sign == '-') {
      r.take(sign);
      auto hours = r.digits(2, 2);
      if (!hours || !r.take(':')) return std::nullopt;
      auto minutes = r.digits(2, 2);
      if (!minutes || *hours > 23 || *minutes > 59) return std::nullopt;
      f.zone_offset_seconds = (sign == '-' ? -1 : 1) * (*hours * 3600 + *minutes * 60);
    }
  }
  if (!r.done()) return std::nullopt;
  if (f.hour > 23 || f.minute > 59 || f.second > 59) return std::nullopt;
  if (f.has_date && (f.month < 1 || f.month > 12 || f.day < 1 || f.day > 31)) return std::nullopt;
  return f;
}

}  // namespace

platform::foundation::Result<double> parse_device_time(const std::string& text, double now_unix) {
  auto unreadable = [&] {
    return platform::foundation::fail(platform::foundation::Errc::invalid,
                                      "cannot read the time '" + text + "' (" + kTimeForms + ")");
  };
  if (text.empty()) return unreadable();
  std::optional<double> seconds = unix_seconds(text);
  if (!seconds) {
    auto f = read_fields(text);
    if (!f) return unreadable();
    std::tm tm{};
    if (f->has_date) {
      tm.tm_year = f->year - 1900;
      tm.tm_mon = f->month - 1;
      tm.tm_mday = f->day;
    } else {
      std::time_t now = static_cast<std::time_t>(std::floor(now_unix));
      localtime_r(&now, &tm);
    }
    tm.tm_hour = f->hour;
    tm.tm_min = f->minute;
    tm.tm_sec = f->second;
    tm.tm_isdst = -1;
    int wanted_day = tm.tm_mday, wanted_month = tm.tm_mon;
    std::time_t t = f->zone_offset_seconds ? timegm(&tm) : std::mktime(&tm);
    // mktime and timegm roll 2015-02-30 over into March: such a date does not exist.
    if (tm.tm_mday != wanted_day || tm.tm_mon != wanted_month) return unreadable();
    seconds = static_cast<double>(t) - f->zone_offset_seconds.value_or(0);
  }
  if (*seconds < kEarliestDeviceTime || *seconds > kLatestDeviceTime)
    return platform::foundation::fail(platform::foundation::Errc::invalid,
                                      "the time '" + text +
                                          "' is outside the dates the device can hold "
                                          "(1932-12-13T20:45:53Z to 2069-01-19T03:14:06Z)");
  return *seconds;
}

}  // namespace px::host::common
