#include "host/device/clock_text.h"

#include <cmath>
#include <ctime>
#include <regex>

namespace device {

std::optional<double> parse_clock_time(const std::string& text, double now_unix) {
  std::smatch m;
  static const std::regex unix_seconds(R"(\d{9,11}(\.\d+)?)");
  static const std::regex hh_mm(R"((\d{1,2}):(\d{2}))");
  static const std::regex full(R"((\d{4})-(\d{2})-(\d{2})[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)");
  if (std::regex_match(text, unix_seconds)) return std::stod(text);
  std::tm tm{};
  if (std::regex_match(text, m, hh_mm)) {
    std::time_t now = static_cast<std::time_t>(now_unix);
    localtime_r(&now, &tm);
    tm.tm_hour = std::stoi(m[1]);
    tm.tm_min = std::stoi(m[2]);
    tm.tm_sec = 0;
  } else if (std::regex_match(text, m, full)) {
    tm.tm_year = std::stoi(m[1]) - 1900;
    tm.tm_mon = std::stoi(m[2]) - 1;
    tm.tm_mday = std::stoi(m[3]);
    tm.tm_hour = std::stoi(m[4]);
    tm.tm_min = std::stoi(m[5]);
    tm.tm_sec = m[6].matched ? std::stoi(m[6]) : 0;
    if (tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > 31) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60) return std::nullopt;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<double>(t);
}

}  // namespace device
