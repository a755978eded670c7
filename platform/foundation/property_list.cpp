// The one file that talks to libplist.
#include "platform/foundation/property_list.h"

#include <plist/plist.h>

#include <cmath>
#include <cstring>
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

// Counts container nesting in XML text without parsing it, so libplist's
// recursive parser never meets a document deeper than max_depth.
bool xml_depth_ok(std::string_view xml) {
  int depth = 0;
  for (std::size_t i = xml.find('<'); i != std::string_view::npos; i = xml.find('<', i + 1)) {
    std::string_view rest = xml.substr(i + 1);
    bool closing = !rest.empty() && rest[0] == '/';
    if (closing) rest.remove_prefix(1);
    bool container = rest.substr(0, 4) == "dict" || rest.substr(0, 5) == "array";
    if (!container) continue;
    std::size_t end = rest.find('>');
    if (end == std::string_view::npos) return true;  // malformed; libplist rejects it
    bool self_closing = end > 0 && rest[end - 1] == '/';
    if (closing) {
      --depth;
    } else if (!self_closing && ++depth > max_depth) {
      return false;
    }
  }
  return true;
}

bool valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t len = (c >= 0xC2 && c <= 0xDF) ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    auto c1 = static_cast<unsigned char>(s[i + 1]);
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 > 0x8F))
      return false;  // overlong forms, surrogates, beyond U+10FFFF
    for (std::size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

Value to_value(plist_t node, int depth, bool& ok) {
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
      char* s = nullptr;
      plist_get_string_val(node, &s);
      Value v(std::string(s ? s : ""));
      std::free(s);
      return v;
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
      for (uint32_t i = 0; i < n && ok; ++i) a.push_back(to_value(plist_array_get_item(node, i), depth + 1, ok));
      return Value(std::move(a));
    }
    case PLIST_DICT: {
      Dictionary d;
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
        d[key ? key : ""] = to_value(item, depth + 1, ok);
        std::free(key);
      }
      std::free(it);
      return Value(std::move(d));
    }
    default:
      ok = false;
      return {};
  }
}

plist_t from_value(const Value& v, int depth) {
  if (depth > max_depth) return nullptr;
  switch (v.kind()) {
    case Value::Kind::nil: return nullptr;
    case Value::Kind::boolean: return plist_new_bool(*v.boolean());
    case Value::Kind::integer: return plist_new_uint(static_cast<uint64_t>(*v.integer()));
    case Value::Kind::real: return plist_new_real(*v.real());
    case Value::Kind::string:
      if (!valid_utf8(*v.string()) || std::memchr(v.string()->data(), 0, v.string()->size())) return nullptr;
      return plist_new_string(v.string()->c_str());
    case Value::Kind::data: {
      auto& b = v.data()->bytes;
      return plist_new_data(reinterpret_cast<const char*>(b.data()), b.size());
    }
    case Value::Kind::date: {
      double t = v.date()->since_reference;
      if (!std::isfinite(t) || std::fabs(t) > 2e9) return nullptr;
      double sec = std::floor(t);
      return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>((t - sec) * 1e6));
    }
    case Value::Kind::array: {
      plist_t a = plist_new_array();
      for (auto& item : *v.array()) {
        plist_t child = from_value(item, depth + 1);
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
        plist_t child = from_value(item, depth + 1);
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
  if (bytes.size() >= 8 && bytes.substr(0, 8) == "bplist00") {
    BinaryCheck check = check_binary_plist(bytes, max_depth);
    if (check != BinaryCheck::ok) {
      out.failure = check == BinaryCheck::too_deep ? ParseFailure::too_deep : ParseFailure::malformed;
      return out;
    }
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  } else {
    if (!xml_depth_ok(bytes)) {
      out.failure = ParseFailure::too_deep;
      return out;
    }
    if (bytes.find("<plist") == std::string_view::npos && bytes.find("<dict") == std::string_view::npos &&
        bytes.find("<array") == std::string_view::npos) {
      out.failure = ParseFailure::malformed;
      return out;
    }
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  }
  Node owner(root);
  if (!root) {
    out.failure = ParseFailure::malformed;
    return out;
  }
  bool ok = true;
  out.value = to_value(root, 0, ok);
  if (!ok) {
    out.value = Value();
    out.failure = ParseFailure::malformed;
  }
  return out;
}

std::optional<std::string> serialize(const Value& v, Format format) {
  Node root(from_value(v, 0));
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
  if (format == Format::xml) plist_to_xml_free(text);
  else plist_to_bin_free(text);
  return out;
}

FileRead read_file(const std::string& host_path) {
  FileRead out;
  FileContents file = read_whole_file(host_path, max_file_bytes);
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

Value read_dictionary(const std::string& host_path) {
  FileRead r = read_file(host_path);
  if (r.status != FileStatus::ok || !r.value.is_dictionary()) return Value();
  return std::move(r.value);
}

bool write_file(const std::string& host_path, const Value& v, Format format) {
  auto bytes = serialize(v, format);
  return bytes && write_file_atomically(host_path, *bytes);
}

const char* describe(FileStatus s) {
  switch (s) {
    case FileStatus::ok: return "ok";
    case FileStatus::missing: return "missing";
    case FileStatus::unreadable: return "unreadable";
    case FileStatus::too_large: return "too large";
    case FileStatus::malformed: return "not a property list";
    case FileStatus::not_dictionary: return "not a dictionary";
  }
  return "?";
}

}  // namespace foundation::plist
