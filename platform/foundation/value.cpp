#include "platform/foundation/value.h"
#include "platform/sim/utc_text.h"

#include <cctype>
#include <charconv>
#include <ctime>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace px::platform::foundation {
namespace {

const Value& nothing() {
  static const Value v;
  return v;
}

// NSString's numeric scanning: leading blanks, an optional sign, digits; no
// digits gives 0. intValue saturates at the 32-bit bounds, as NSString does.
std::int64_t scan_integer(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (v > (std::numeric_limits<std::int64_t>::max() - 9) / 10) return negative ? INT64_MIN : INT64_MAX;
    v = v * 10 + (s[i] - '0');
  }
  return negative ? -v : v;
}

double scan_real(const std::string& s) {
  const char* begin = s.c_str();
  char* end = nullptr;
  double d = std::strtod(begin, &end);
  return end == begin ? 0.0 : d;
}

std::int32_t saturate32(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 2147483647.0) return INT32_MAX;
  if (d <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(d);
}

bool needs_quotes(const std::string& s) {
  if (s.empty()) return true;
  for (unsigned char c : s)
    if (!(std::isalnum(c) || c == '_' || c == '$' || c == '/' || c == ':' || c == '.' || c == '-')) return true;
  return false;
}

std::string quoted(const std::string& s) {
  if (!needs_quotes(s)) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

void describe(const Value& v, std::string& out, int indent) {
  std::string pad(static_cast<std::size_t>(indent) * 4, ' ');
  if (auto* d = v.dictionary()) {
    out += "{\n";
    for (auto& [k, item] : *d) {
      out += pad + "    " + quoted(k) + " = ";
      if (item.is_string())
        out += quoted(*item.string());
      else
        describe(item, out, indent + 1);
      out += ";\n";
    }
    out += pad + "}";
  } else if (auto* a = v.array()) {
    out += "(\n";
    for (std::size_t i = 0; i < a->size(); ++i) {
      out += pad + "    ";
      const Value& item = (*a)[i];
      if (item.is_string())
        out += quoted(*item.string());
      else
        describe(item, out, indent + 1);
      out += i + 1 < a->size() ? ",\n" : "\n";
    }
    out += pad + ")";
  } else {
    out += v.description();
  }
}

}  // namespace

std::string real_description(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  if (d == std::floor(d) && std::fabs(d) < 1e15) {
    char buf[32];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(d));
    return std::string(buf, p);
  }
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, p);
}

const Dictionary* Value::dictionary() const {
  auto* p = std::get_if<std::shared_ptr<Dictionary>>(&m_v);
  return p ? p->get() : nullptr;
}
const Array* Value::array() const {
  auto* p = std::get_if<std::shared_ptr<Array>>(&m_v);
  return p ? p->get() : nullptr;
}

const Value& Value::operator[](std::string_view key) const {
  auto* d = dictionary();
  if (!d) return nothing();
  auto it = d->find(key);
  return it == d->end() ? nothing() : it->second;
}

std::int64_t Value::longLongValue() const {
  switch (kind()) {
    case Kind::boolean:
      return *boolean() ? 1 : 0;
    case Kind::integer:
      return *integer();
    case Kind::real: {
      double d = *real();
      if (std::isnan(d)) return 0;
      if (d >= 9.2233720368547758e18) return INT64_MAX;
      if (d <= -9.2233720368547758e18) return INT64_MIN;
      return static_cast<std::int64_t>(d);
    }
    case Kind::string:
      return scan_integer(*string());
    default:
      return 0;
  }
}

std::int32_t Value::intValue() const {
  switch (kind()) {
    case Kind::integer:
      return static_cast<std::int32_t>(*integer());  // NSNumber truncates bits
    case Kind::real:
      return saturate32(*real());
    case Kind::string: {
      std::int64_t v = scan_integer(*string());
      return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(v);
    }
    default:
      return static_cast<std::int32_t>(longLongValue());
  }
}

double Value::doubleValue() const {
  switch (kind()) {
    case Kind::boolean:
      return *boolean() ? 1.0 : 0.0;
    case Kind::integer:
      return static_cast<double>(*integer());
    case Kind::real:
      return *real();
    case Kind::string:
      return scan_real(*string());
    default:
      return 0.0;
  }
}

float Value::floatValue() const { return static_cast<float>(doubleValue()); }

bool Value::boolValue() const {
  switch (kind()) {
    case Kind::boolean:
      return *boolean();
    case Kind::integer:
      return *integer() != 0;
    case Kind::real:
      return *real() != 0.0;
    case Kind::string: {
      // NSString: "Y", "y", "T", "t" or a non-zero number after optional blanks, sign and zeros.
      const std::string& s = *string();
      std::size_t i = 0;
      while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
      if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
      while (i < s.size() && s[i] == '0') ++i;
      if (i >= s.size()) return false;
      char c = s[i];
      return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default:
      return false;
  }
}

Value Value::stringValue() const {
  if (is_string()) return *this;
  if (is_number()) return Value(description());
  return Value();
}

std::string Value::description() const {
  switch (kind()) {
    case Kind::nil:
      return "(null)";
    case Kind::boolean:
      return *boolean() ? "1" : "0";
    case Kind::integer:
      return std::to_string(*integer());
    case Kind::real:
      return real_description(*real());
    case Kind::string:
      return *string();
    case Kind::data: {
      static const char* hex = "0123456789abcdef";
      std::string out = "<";
      const auto& b = data()->bytes;
      for (std::size_t i = 0; i < b.size(); ++i) {
        if (i && i % 4 == 0) out += ' ';
        out += hex[b[i] >> 4];
        out += hex[b[i] & 15];
      }
      return out + ">";
    }
    case Kind::date: {
      return sim::utc_text(date()->unix_seconds(), "%Y-%m-%d %H:%M:%S +0000");
    }
    case Kind::array:
    case Kind::dictionary: {
      std::string out;
      describe(*this, out, 0);
      return out;
    }
  }
  return "(null)";
}

bool Value::operator==(const Value& o) const {
  if (kind() != o.kind()) {
    // NSNumber compares by value across integer, real and boolean.
    if (is_number() && o.is_number()) return doubleValue() == o.doubleValue();
    return false;
  }
  switch (kind()) {
    case Kind::array:
      return *array() == *o.array();
    case Kind::dictionary:
      return *dictionary() == *o.dictionary();
    default:
      return m_v == o.m_v;
  }
}

Dictionary& Value::mutable_dictionary() {
  auto* p = std::get_if<std::shared_ptr<Dictionary>>(&m_v);
  if (!p) {
    m_v = std::make_shared<Dictionary>();
    p = std::get_if<std::shared_ptr<Dictionary>>(&m_v);
  } else if (p->use_count() > 1) {
    *p = std::make_shared<Dictionary>(**p);
  }
  return **p;
}

Array& Value::mutable_array() {
  auto* p = std::get_if<std::shared_ptr<Array>>(&m_v);
  if (!p) {
    m_v = std::make_shared<Array>();
    p = std::get_if<std::shared_ptr<Array>>(&m_v);
  } else if (p->use_count() > 1) {
    *p = std::make_shared<Array>(**p);
  }
  return **p;
}

}  // namespace px::platform::foundation
