#include "platform/foundation/xml_plist_check.h"

#include <cstring>

namespace px::platform::foundation::plist {
namespace {

// Whether a <date> element holds a time libplist can convert.
// `element` starts just after "<date".
bool xml_date_ok(std::string_view element) {
  if (element.empty()) return false;
  char next = element[0];
  if (next != '>') return false;  // attributes or <date/>: the parser's defaults are out of range
  std::size_t close = element.find('<', 1);
  if (close == std::string_view::npos) return false;
  std::string_view text = element.substr(1, close - 1);
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  auto digits = [&](std::size_t at, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k)
      if (text[at + k] < '0' || text[at + k] > '9') return false;
    return true;
  };
  // YYYY-MM-DDTHH:MM:SSZ
  if (text.size() != 20 || !digits(0, 4) || text[4] != '-' || !digits(5, 2) || text[7] != '-' || !digits(8, 2) ||
      text[10] != 'T' || !digits(11, 2) || text[13] != ':' || !digits(14, 2) || text[16] != ':' || !digits(17, 2) ||
      text[19] != 'Z')
    return false;
  auto number = [&](std::size_t at, std::size_t n) {
    int v = 0;
    for (std::size_t k = 0; k < n; ++k) v = v * 10 + (text[at + k] - '0');
    return v;
  };
  // Out-of-range fields would be carried into the year by timegm.
  int year = number(0, 4), month = number(5, 2), day = number(8, 2);
  int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
  // Days from 2001-01-01 (civil calendar, days past a month's end carried on as timegm does).
  int y = month <= 2 ? year - 1 : year;
  int era = y / 400, yoe = y - era * 400;
  int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  long long days = era * 146097LL + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468 - 11323;
  double t = static_cast<double>(days) * 86400 + hour * 3600 + minute * 60 + second;
  return t > -2147483648.0 && t < 2147483647.0;
}

}  // namespace

Result<void> check_xml_plist(std::string_view xml, int max_depth) {
  int depth = 0;
  bool counting = true, bad_date = false, has_root = false;
  auto starts = [](std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; };
  for (std::size_t lt = xml.find('<'); lt != std::string_view::npos; lt = xml.find('<', lt + 1)) {
    std::size_t at = lt + 1;
    std::string_view rest = xml.substr(at);
    bool closing = !rest.empty() && rest[0] == '/';
    if (closing) rest.remove_prefix(1);
    // Most tags are keys, numbers and strings: only dict, date, array and plist matter here.
    char first = rest.empty() ? '\0' : rest[0];
    if (first != 'd' && first != 'a' && first != 'p') continue;
    bool container = starts(rest, "dict") || starts(rest, "array");
    if (!closing) {
      has_root = has_root || container || starts(rest, "plist");
      if (!bad_date && starts(rest, "date")) {
        std::string_view element = rest.substr(4);
        bool name_ends = element.empty() || element[0] == '>' || element[0] == '/' || element[0] == ' ' ||
                         element[0] == '\t' || element[0] == '\r' || element[0] == '\n';
        // Another element whose name starts with "date" is no date.
        if (name_ends && !xml_date_ok(element)) bad_date = true;
      }
    }
    if (container && counting) {
      std::size_t end = rest.find('>');
      if (end == std::string_view::npos) {
        counting = false;  // malformed; libplist rejects it
      } else if (closing) {
        // Never below zero: closing tags inside comments or CDATA, which the
        // parser ignores, must not pay for openings that follow.
        if (depth > 0) --depth;
      } else if (!(end > 0 && rest[end - 1] == '/') && ++depth > max_depth) {
        return fail(Errc::too_deep, "property list nested too deep");
      }
    }
  }
  if (bad_date) return fail(Errc::malformed, "property list with a date out of range");
  if (!has_root) return fail(Errc::malformed, "not a property list");
  if (std::memchr(xml.data(), 0, xml.size())) return fail(Errc::malformed, "property list holding a NUL");
  return {};
}

}  // namespace px::platform::foundation::plist
