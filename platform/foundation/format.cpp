#include "platform/foundation/format.h"

#include <cstdio>

namespace px::platform::foundation {
namespace {

long long integer_of(const FormatArg& arg) {
  if (auto* p = std::get_if<long long>(&arg.v)) return *p;
  if (auto* p = std::get_if<unsigned long long>(&arg.v)) return static_cast<long long>(*p);
  if (auto* p = std::get_if<double>(&arg.v)) return static_cast<long long>(*p);
  if (auto* p = std::get_if<Value>(&arg.v)) return p->longLongValue();
  return 0;
}

// One conversion, given without length modifiers; `wide` when the format had
// one ("%li", "%qu"): such integers keep all 64 bits.
std::string printf_one(const std::string& conversion, const FormatArg& arg, char conv, bool wide) {
  char buf[512];
  int n = 0;
  if (conv == 'f' || conv == 'e' || conv == 'g' || conv == 'F' || conv == 'E' || conv == 'G') {
    double d = 0;
    if (auto* p = std::get_if<double>(&arg.v))
      d = *p;
    else if (auto* p = std::get_if<long long>(&arg.v))
      d = static_cast<double>(*p);
    else if (auto* p = std::get_if<Value>(&arg.v))
      d = p->doubleValue();
    n = std::snprintf(buf, sizeof buf, conversion.c_str(), d);
  } else if (conv == 's') {
    std::string s;
    if (auto* p = std::get_if<std::string>(&arg.v))
      s = *p;
    else if (auto* p = std::get_if<Value>(&arg.v))
      s = p->description();
    n = std::snprintf(buf, sizeof buf, conversion.c_str(), s.c_str());
    if (n >= static_cast<int>(sizeof buf)) return s;
  } else {
    long long i = integer_of(arg);
    // "%i" is a 32-bit int on the device: keep its wrap-around.
    if (!wide && (conv == 'i' || conv == 'd')) i = static_cast<int>(i);
    if (!wide && (conv == 'u' || conv == 'x' || conv == 'X')) i = static_cast<unsigned>(i);
    std::string full = conversion;
    full.insert(full.size() - 1, "ll");
    n = std::snprintf(buf, sizeof buf, full.c_str(), i);
  }
  if (n < 0) return {};
  return std::string(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

}  // namespace

namespace detail {

std::string format_args(std::string_view fmt, const std::vector<FormatArg>& args) {
  std::string out;
  std::size_t next_arg = 0;
  static const FormatArg missing{Value()};
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    char c = fmt[i];
    if (c != '%') {
      out += c;
      continue;
    }
    std::size_t start = i++;
    while (i < fmt.size() && std::string_view("-+ #0123456789.").find(fmt[i]) != std::string_view::npos) ++i;
    while (i < fmt.size() && (fmt[i] == 'l' || fmt[i] == 'h' || fmt[i] == 'q' || fmt[i] == 'z')) ++i;
    if (i >= fmt.size()) {
      out.append(fmt.substr(start));
      break;
    }
    char conv = fmt[i];
    if (conv == '%') {
      out += '%';
      continue;
    }
    const FormatArg& arg = next_arg < args.size() ? args[next_arg] : missing;
    ++next_arg;
    if (conv == '@') {
      if (auto* v = std::get_if<Value>(&arg.v))
        out += v->description();
      else if (auto* s = std::get_if<std::string>(&arg.v))
        out += *s;
      else if (auto* d = std::get_if<double>(&arg.v))
        out += real_description(*d);
      else if (auto* l = std::get_if<long long>(&arg.v))
        out += std::to_string(*l);
      else if (auto* u = std::get_if<unsigned long long>(&arg.v))
        out += std::to_string(*u);
      continue;
    }
    std::string conversion(fmt.substr(start, i - start));
    // Strip length modifiers; printf_one adds its own.
    std::string clean;
    for (char ch : conversion)
      if (ch != 'l' && ch != 'h' && ch != 'q' && ch != 'z') clean += ch;
    bool wide = conversion.find('l') != std::string::npos || conversion.find('q') != std::string::npos;
    clean += conv;
    out += printf_one(clean, arg, conv, wide);
  }
  return out;
}

}  // namespace detail
}  // namespace px::platform::foundation
