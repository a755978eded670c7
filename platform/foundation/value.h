#pragma once
// The property-list object: what NSNull/nil, NSNumber, NSString, NSData,
// NSDate, NSArray and NSDictionary are to the system. A default-constructed
// Value is "nothing" (nil): it prints as "(null)", converts to 0/false, and
// looking anything up in it yields nothing again.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/foundation/sorted_dictionary.h"

namespace px::platform::foundation {

class Value;
using Array = std::vector<Value>;
using Dictionary = SortedDictionary<Value>;

struct Data {
  std::vector<std::uint8_t> bytes;
  bool operator==(const Data&) const = default;
};

// Seconds since 2001-01-01 00:00:00 UTC, as NSDate counts.
struct Date {
  double since_reference = 0;
  bool operator==(const Date&) const = default;
  static constexpr double unix_offset = 978307200.0;
  static Date from_unix(double seconds) { return Date{seconds - unix_offset}; }
  double unix_seconds() const { return since_reference + unix_offset; }
};

class Value {
 public:
  enum class Kind { nil, boolean, integer, real, string, data, date, array, dictionary };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : m_v(b) {}
  Value(int i) : m_v(std::int64_t{i}) {}
  Value(long i) : m_v(std::int64_t{i}) {}
  Value(long long i) : m_v(std::int64_t{i}) {}
  Value(unsigned i) : m_v(std::int64_t{i}) {}
  Value(double d) : m_v(d) {}
  Value(float f) : m_v(double{f}) {}
  Value(const char* s) : m_v(std::string(s)) {}
  Value(std::string s) : m_v(std::move(s)) {}
  Value(std::string_view s) : m_v(std::string(s)) {}
  Value(Data d) : m_v(std::move(d)) {}
  Value(Date d) : m_v(d) {}
  Value(Array a) : m_v(std::make_shared<Array>(std::move(a))) {}
  Value(Dictionary d) : m_v(std::make_shared<Dictionary>(std::move(d))) {}

  Kind kind() const { return static_cast<Kind>(m_v.index()); }
  bool is_nil() const { return kind() == Kind::nil; }
  explicit operator bool() const { return !is_nil(); }
  bool is_number() const { return kind() == Kind::boolean || kind() == Kind::integer || kind() == Kind::real; }
  bool is_string() const { return kind() == Kind::string; }
  bool is_dictionary() const { return kind() == Kind::dictionary; }
  bool is_array() const { return kind() == Kind::array; }

  // Typed access; nullptr when the value is of another kind.
  const std::string* string() const { return std::get_if<std::string>(&m_v); }
  const Dictionary* dictionary() const;
  const Array* array() const;
  const Data* data() const { return std::get_if<Data>(&m_v); }
  const Date* date() const { return std::get_if<Date>(&m_v); }
  const bool* boolean() const { return std::get_if<bool>(&m_v); }
  const std::int64_t* integer() const { return std::get_if<std::int64_t>(&m_v); }
  const double* real() const { return std::get_if<double>(&m_v); }

  // objectForKey: — nothing for a missing key or a receiver that is no dictionary.
  const Value& operator[](std::string_view key) const;
  Value objectForKey(std::string_view key) const { return (*this)[key]; }

  // Foundation's conversions, as NSNumber and NSString define them.
  std::int32_t intValue() const;
  std::int64_t longLongValue() const;
  float floatValue() const;
  double doubleValue() const;
  bool boolValue() const;
  // NSNumber's decimal text; a string is returned unchanged; nothing for other kinds.
  Value stringValue() const;

  // The text "%@" prints: numbers in decimal, strings as they are, containers in
  // the old-style property-list syntax, nothing as "(null)".
  std::string description() const;

  bool operator==(const Value& other) const;
  bool operator!=(const Value& other) const { return !(*this == other); }

  // Copy-on-write mutation of containers.
  Dictionary& mutable_dictionary();
  Array& mutable_array();

 private:
  std::variant<std::monostate, bool, std::int64_t, double, std::string, Data, Date, std::shared_ptr<Array>,
               std::shared_ptr<Dictionary>>
      m_v;
};

// Decimal text of a real as NSNumber prints it (shortest round-trip form, "%.17g" family).
std::string real_description(double d);

}  // namespace px::platform::foundation
