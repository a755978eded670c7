// The one file that talks to libplist.
#include "platform/foundation/property_list.h"

#include <plist/plist.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/foundation/binary_plist_check.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/utf8_repair.h"
#include "platform/foundation/xml_plist_check.h"
#include "platform/sim/atomic_write.h"

namespace px::platform::foundation::plist {
namespace {

struct PlistDeleter {
  void operator()(plist_t p) const {
    if (p) plist_free(p);
  }
};
using Node = std::unique_ptr<void, PlistDeleter>;

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

Result<Value> parse(std::string_view bytes) {
  if (bytes.empty()) return fail(Errc::malformed, "empty");
  if (bytes.size() > max_file_bytes || bytes.size() > UINT32_MAX) return fail(Errc::too_large, "larger than a file");
  plist_t root = nullptr;  // libplist requires a null output pointer on entry
  Conversion conversion;
  if (bytes.size() >= 8 && bytes.substr(0, 8) == "bplist00") {
    if (auto check = check_binary_plist(bytes, max_depth, max_nodes); !check) return check.error();
    plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  } else {
    if (auto check = check_xml_plist(bytes, max_depth); !check) return check.error();
    conversion.strings_valid = valid_utf8(bytes) && bytes.find("&#") == std::string_view::npos;
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  }
  Node owner(root);
  if (!root) return fail(Errc::malformed, "not a property list");
  Value value = to_value(root, 0, conversion);
  if (!conversion.ok) return fail(Errc::malformed, "a value of no property-list type");
  return value;
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

// Parses a file's bytes, then gives the buffer back for the next read.
Result<Value> parse_contents(Result<std::string> file) {
  if (!file) return file.error();
  std::string& bytes = *file;
  Result<Value> parsed = parse(bytes);
  if (bytes.capacity() <= kKeptBufferBytes) read_buffer() = std::move(bytes);
  return parsed;
}

Value dictionary_of(Result<Value> read) {
  if (!read || !read->is_dictionary()) return Value();
  return std::move(read).value();
}

}  // namespace

Result<Value> read_file(const std::string& host_path) {
  return parse_contents(read_whole_file(host_path, max_file_bytes, std::move(read_buffer())));
}

Result<Value> read_device_file(const sim::DevicePath& device_file) {
  return parse_contents(foundation::read_device_file(device_file, max_file_bytes, std::move(read_buffer())));
}

Value read_dictionary(const std::string& host_path) { return dictionary_of(read_file(host_path)); }

Value read_device_dictionary(const sim::DevicePath& device_file) {
  return dictionary_of(read_device_file(device_file));
}

bool write_file(const std::string& host_path, const Value& v, Format format) {
  auto bytes = serialize(v, format);
  // A file the reader would refuse is not written: the old one stays.
  return bytes && bytes->size() <= max_file_bytes && sim::write_file_atomically(host_path, *bytes);
}

}  // namespace px::platform::foundation::plist
