// The one file that talks to libplist.
#include "platform/foundation/property_list.h"

#include <plist/plist.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/foundation/binary_plist_check.h"
#include "platform/foundation/file_io.h"

namespace foundation::plist {
namespace {

struct PlistDeleter {
  void operator()(plist_t p) const {
    if (p) plist_free(p);
  }
};
using Node = std::unique_ptr<void, PlistDeleter>;

// Length of the valid UTF-8 sequence at s[i], or 0.
std::size_t utf8_sequence(std::string_view s, std::size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return 1;
  std::size_t len = (c >= 0xC2 && c <= 0xDF) ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  auto c1 = static_cast<unsigned char>(s[i + 1]);
  if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
    return 0;  // overlong forms, surrogates, beyond U+10FFFF
  for (std::size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return len;
}

bool valid_utf8(std::string_view s) {
  // Keys and values are nearly always ASCII: eight bytes at a time until the first that is not.
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, 8);
    if (word & 0x8080808080808080ULL) break;
  }
  while (i < s.size()) {
    std::size_t len = utf8_sequence(s, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

// libplist passes string bytes through unchecked in both formats, and its
// binary writer reads past a string's end on invalid UTF-8; what is read is
// made valid here so that it can always be written back.
std::string repaired_utf8(std::string_view s) {
  if (valid_utf8(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  for (std::size_t i = 0; i < s.size();) {
    std::size_t len = utf8_sequence(s, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

// libplist 2.2 turns every XML date into int32_t seconds since 2001 with a
// plain cast, also for dates it could not read (those become year 1900):
// undefined behaviour outside the int32_t range. Every <date> element must
// therefore hold exactly "YYYY-MM-DDTHH:MM:SSZ" with a year that fits.
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

// What libplist's XML parser must never be given, found in one pass over the
// tags without parsing: nesting deeper than max_depth (its parser recurses),
// a date it would convert with undefined behaviour, a NUL (inside a string it
// makes libplist assert on a length that differs from strlen), or text with
// no plist, dict or array element at all.
std::optional<ParseFailure> xml_refusal(std::string_view xml) {
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
        return ParseFailure::too_deep;
      }
    }
  }
  if (bad_date || !has_root || std::memchr(xml.data(), 0, xml.size())) return ParseFailure::malformed;
  return std::nullopt;
}

struct Conversion {
  bool ok = true;
  // XML text that is valid UTF-8 and has no numeric character references
  // (the one way its strings could decode to invalid UTF-8) needs no check
  // per string.
  bool strings_valid = false;

  std::string text(std::string_view s) const { return strings_valid ? std::string(s) : repaired_utf8(s); }
};

Value to_value(plist_t node, int depth, Conversion& c) {
  bool& ok = c.ok;
  if (!node || depth > max_depth) {
    ok = false;
    return {};
  }
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return Value(b != 0);
    }
    case PLIST_UINT: {
      uint64_t u = 0;
      plist_get_uint_val(node, &u);
      // libplist keeps signed integers as their two's complement bits.
      return Value(static_cast<long long>(u));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return Value(d);
    }
    case PLIST_STRING: {
      // Borrowed, not copied: libplist keeps the bytes until the tree is freed.
      uint64_t length = 0;
      const char* s = plist_get_string_ptr(node, &length);
      return Value(c.text(s ? std::string_view(s, length) : std::string_view()));
    }
    case PLIST_DATA: {
      char* d = nullptr;
      uint64_t len = 0;
      plist_get_data_val(node, &d, &len);
      Data data;
      if (d) data.bytes.assign(reinterpret_cast<uint8_t*>(d), reinterpret_cast<uint8_t*>(d) + len);
      std::free(d);
      return Value(std::move(data));
    }
    case PLIST_DATE: {
      int32_t sec = 0, usec = 0;
      plist_get_date_val(node, &sec, &usec);
      return Value(Date{sec + usec / 1e6});
    }
    case PLIST_UID: {
      uint64_t u = 0;
      plist_get_uid_val(node, &u);
      return Value(static_cast<long long>(u));
    }
    case PLIST_ARRAY: {
      Array a;
      uint32_t n = plist_array_get_size(node);
      a.reserve(n);
      for (uint32_t i = 0; i < n && ok; ++i) a.push_back(to_value(plist_array_get_item(node, i), depth + 1, c));
      return Value(std::move(a));
    }
    case PLIST_DICT: {
      Dictionary::Entries entries;
      entries.reserve(plist_dict_get_size(node));
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      while (ok) {
        char* key = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &key, &item);
        if (!item) {
          std::free(key);
          break;
        }
        entries.emplace_back(c.text(key ? key : ""), to_value(item, depth + 1, c));
        std::free(key);
      }
      std::free(it);
      // Files list their keys sorted, so this is one pass in the common case.
      return Value(Dictionary::from_entries(std::move(entries)));
    }
    default:
      ok = false;
      return {};
  }
}

plist_t from_value(const Value& v, int depth, Format format) {
  if (depth > max_depth) return nullptr;
  switch (v.kind()) {
    case Value::Kind::nil:
      return nullptr;
    case Value::Kind::boolean:
      return plist_new_bool(*v.boolean());
    case Value::Kind::integer: {
      long long n = *v.integer();
      // libplist 2.2's XML writer negates negative integers to count their
      // digits; -INT64_MIN overflows (undefined behaviour). The nearest value
      // it can write stands in.
      if (format == Format::xml && n == INT64_MIN) n = INT64_MIN + 1;
      return plist_new_uint(static_cast<uint64_t>(n));
    }
    case Value::Kind::real:
      return plist_new_real(*v.real());
    case Value::Kind::string:
      if (!valid_utf8(*v.string()) || std::memchr(v.string()->data(), 0, v.string()->size())) return nullptr;
      return plist_new_string(v.string()->c_str());
    case Value::Kind::data: {
      auto& b = v.data()->bytes;
      return plist_new_data(reinterpret_cast<const char*>(b.data()), b.size());
    }
    case Value::Kind::date: {
      double t = v.date()->since_reference;
      // The range libplist's int32_t seconds hold, the same the reader accepts.
      if (!(t > -2147483648.0 && t < 2147483647.0)) return nullptr;
      double sec = std::floor(t);
      return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>((t - sec) * 1e6));
    }
    case Value::Kind::array: {
      plist_t a = plist_new_array();
      for (auto& item : *v.array()) {
        plist_t child = from_value(item, depth + 1, format);
        if (!child) {
          plist_free(a);
          return nullptr;
        }
        plist_array_append_item(a, child);
      }
      return a;
    }
    case Value::Kind::dictionary: {
      plist_t d = plist_new_dict();
      for (auto& [key, item] : *v.dictionary()) {
        plist_t child = from_value(item, depth + 1, format);
        if (!child || !valid_utf8(key)) {
          if (child) plist_free(child);
          plist_free(d);
          return nullptr;
        }
        plist_dict_set_item(d, key.c_str(), child);
      }
      return d;
    }
  }
  return nullptr;
}

}  // namespace

Parsed parse(std::string_view bytes) {
  Parsed out;
  if (bytes.empty()) {
    out.failure = ParseFailure::empty;
    return out;
  }
  if (bytes.size() > max_file_bytes || bytes.size() > UINT32_MAX) {
    out.failure = ParseFailure::too_large;
    return out;
  }
  plist_t root = nullptr;  // libplist requires a null output pointer on entry
  Conversion conversion;
  if (bytes.size() >= 8 && bytes.substr(0, 8) == "bplist00") {
    BinaryCheck check = check_binary_plist(bytes, max_depth, max_nodes);
    if (check != BinaryCheck::ok) {
      out.failure = check == BinaryCheck::too_deep         ? ParseFailure::too_deep
                    : check == BinaryCheck::too_many_nodes ? ParseFailure::too_large
                                                           : ParseFailure::malformed;
      return out;
    }
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  } else {
    if (auto refusal = xml_refusal(bytes)) {
      out.failure = *refusal;
      return out;
    }
    conversion.strings_valid = valid_utf8(bytes) && bytes.find("&#") == std::string_view::npos;
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  }
  Node owner(root);
  if (!root) {
    out.failure = ParseFailure::malformed;
    return out;
  }
  out.value = to_value(root, 0, conversion);
  if (!conversion.ok) {
    out.value = Value();
    out.failure = ParseFailure::malformed;
  }
  return out;
}

std::optional<std::string> serialize(const Value& v, Format format) {
  Node root(from_value(v, 0, format));
  if (!root) return std::nullopt;
  char* text = nullptr;
  uint32_t length = 0;
  if (format == Format::xml) {
    plist_to_xml(root.get(), &text, &length);
  } else {
    plist_to_bin(root.get(), &text, &length);
  }
  if (!text) return std::nullopt;
  std::string out(text, length);
  if (format == Format::xml)
    plist_to_xml_free(text);
  else
    plist_to_bin_free(text);
  return out;
}

namespace {

// One read buffer per thread, so that a file read again and again (a pane's
// rows, the settings on every change) needs no new storage for its bytes.
std::string& read_buffer() {
  thread_local std::string buffer;
  return buffer;
}
constexpr std::size_t kKeptBufferBytes = 256 * 1024;

FileRead parse_contents(FileContents file) {
  struct Recycle {
    std::string& bytes;
    ~Recycle() {
      if (bytes.capacity() <= kKeptBufferBytes) read_buffer() = std::move(bytes);
    }
  } recycle{file.bytes};
  FileRead out;
  if (!file.ok()) {
    out.status = *file.failure == ReadFailure::missing     ? FileStatus::missing
                 : *file.failure == ReadFailure::too_large ? FileStatus::too_large
                                                           : FileStatus::unreadable;
    return out;
  }
  Parsed parsed = parse(file.bytes);
  if (parsed.failure) {
    out.status = *parsed.failure == ParseFailure::too_large ? FileStatus::too_large : FileStatus::malformed;
    return out;
  }
  out.value = std::move(parsed.value);
  out.status = FileStatus::ok;
  return out;
}

Value dictionary_of(FileRead r) {
  if (r.status != FileStatus::ok || !r.value.is_dictionary()) return Value();
  return std::move(r.value);
}

}  // namespace

FileRead read_file(const std::string& host_path) {
  return parse_contents(read_whole_file(host_path, max_file_bytes, std::move(read_buffer())));
}

FileRead read_device_file(std::string_view device_file) {
  return parse_contents(foundation::read_device_file(device_file, max_file_bytes, std::move(read_buffer())));
}

Value read_dictionary(const std::string& host_path) { return dictionary_of(read_file(host_path)); }

Value read_device_dictionary(std::string_view device_file) { return dictionary_of(read_device_file(device_file)); }

bool write_file(const std::string& host_path, const Value& v, Format format) {
  auto bytes = serialize(v, format);
  // A file the reader would refuse is not written: the old one stays.
  return bytes && bytes->size() <= max_file_bytes && write_file_atomically(host_path, *bytes);
}

const char* describe(FileStatus s) {
  switch (s) {
    case FileStatus::ok:
      return "ok";
    case FileStatus::missing:
      return "missing";
    case FileStatus::unreadable:
      return "unreadable";
    case FileStatus::too_large:
      return "too large";
    case FileStatus::malformed:
      return "not a property list";
    case FileStatus::not_dictionary:
      return "not a dictionary";
  }
  return "?";
}

}  // namespace foundation::plist
