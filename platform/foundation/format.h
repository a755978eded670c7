#pragma once
// NSString's printf-like formatting: "%@" prints an object's description
// ("(null)" for nothing), "%i"/"%d" a 32-bit integer, "%f" a double; flags,
// width and precision as printf has them.

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/foundation/format_string.h"
#include "platform/foundation/value.h"

namespace px::platform::foundation {

struct FormatArg {
  std::variant<Value, long long, unsigned long long, double, std::string> v;
  FormatArg(const Value& x) : v(x) {}
  FormatArg(Value&& x) : v(std::move(x)) {}
  FormatArg(const char* s) : v(std::string(s ? s : "")) {}
  FormatArg(const std::string& s) : v(s) {}
  FormatArg(std::string_view s) : v(std::string(s)) {}
  FormatArg(bool b) : v(static_cast<long long>(b)) {}
  FormatArg(int x) : v(static_cast<long long>(x)) {}
  FormatArg(long x) : v(static_cast<long long>(x)) {}
  FormatArg(long long x) : v(x) {}
  FormatArg(unsigned x) : v(static_cast<unsigned long long>(x)) {}
  FormatArg(unsigned long x) : v(static_cast<unsigned long long>(x)) {}
  FormatArg(unsigned long long x) : v(x) {}
  FormatArg(float x) : v(static_cast<double>(x)) {}
  FormatArg(double x) : v(x) {}
};

namespace detail {
// The formatter behind format(). Its format is not checked: callers go through
// format() or NSLog(), whose formats are.
std::string format_args(std::string_view fmt, const std::vector<FormatArg>& args);
}  // namespace detail

// stringWithFormat:. "%@" wants a Value; plain strings given for "%@" print as
// they are. The format is checked against the arguments when compiling.
template <class... A>
std::string format(format_string<A...> fmt, A&&... args) {
  return detail::format_args(fmt.text(), std::vector<FormatArg>{FormatArg(std::forward<A>(args))...});
}

}  // namespace px::platform::foundation
