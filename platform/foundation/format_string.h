#pragma once
// A printf-like format checked against its arguments when compiling. On the
// device a conversion without an argument, or with one of the wrong kind,
// prints garbage or crashes; here it does not build. The checks:
//   "%@"                     a Value or a string
//   "%i" "%d" "%u" "%x" "%X"  an integer or a bool (with flags, width, l/ll/q/h/z)
//   "%f" "%e" "%g" (and caps) a float or a double
//   "%s"                     a string
//   "%%"                     no argument
// and exactly as many arguments as conversions. A format chosen at run time
// is picked from constants of this type, never built from text.

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/foundation/value.h"

namespace px::platform::foundation {

namespace format_checks {

template <class T>
inline constexpr bool is_text = std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view> ||
                                std::is_same_v<T, const char*> || std::is_same_v<T, char*> ||
                                (std::is_array_v<T> && std::is_same_v<std::remove_extent_t<T>, const char>) ||
                                (std::is_array_v<T> && std::is_same_v<std::remove_extent_t<T>, char>);

template <class T>
consteval bool takes(char conversion) {
  switch (conversion) {
    case '@':
      return std::is_same_v<T, Value> || is_text<T>;
    case 'i':
    case 'd':
    case 'u':
    case 'x':
    case 'X':
      return std::is_integral_v<T>;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
      return std::is_floating_point_v<T>;
    case 's':
      return is_text<T>;
    default:
      return false;
  }
}

// Called only when a check fails: not constexpr, so the compiler stops here
// and names it in its message.
void format_does_not_match_its_arguments();

// The conversion characters of `text`, in order, "%%" left out. A conversion
// the formatter does not know, or a format ending inside one, fails.
consteval std::size_t conversions(std::string_view text, char* out, std::size_t capacity) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    ++i;
    while (i < text.size() && std::string_view("-+ #0123456789.").find(text[i]) != std::string_view::npos) ++i;
    while (i < text.size() && std::string_view("lhqz").find(text[i]) != std::string_view::npos) ++i;
    if (i >= text.size()) format_does_not_match_its_arguments();
    if (text[i] == '%') continue;
    if (std::string_view("@iduxXfFeEgGs").find(text[i]) == std::string_view::npos)
      format_does_not_match_its_arguments();
    if (count < capacity) out[count] = text[i];
    ++count;
  }
  return count;
}

template <class... A>
consteval void check(std::string_view text) {
  constexpr std::size_t n = sizeof...(A);
  char found[n + 1] = {};
  if (conversions(text, found, n) != n) format_does_not_match_its_arguments();
  std::size_t i = 0;
  bool ok = ((takes<A>(found[i++])) && ... && true);
  if (!ok) format_does_not_match_its_arguments();
}

}  // namespace format_checks

// A format string whose conversions fit the argument types A... (decayed).
template <class... A>
class FormatString {
 public:
  template <class S>
  requires std::is_convertible_v<const S&, std::string_view>
  consteval FormatString(const S& text) : m_text(text) { format_checks::check<A...>(m_text); }
  constexpr std::string_view text() const { return m_text; }

 private:
  std::string_view m_text;
};

// The format parameter of a function taking arguments `A...`: the types are not
// deduced from it, only checked.
template <class... A>
using format_string = FormatString<std::type_identity_t<std::decay_t<A>>...>;

}  // namespace px::platform::foundation
