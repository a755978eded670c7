#pragma once
// The outcome of a fallible internal step: a value, or a code and a message.
// Codes let a caller decide (a missing file is not a broken one); messages are
// written for the person reading a log line or an error on the terminal. The
// platform's public face turns a failure into nil, 0 or no file, as the device
// does; Result is for what lies behind it.

#include <string>
#include <utility>
#include <variant>

namespace foundation {

enum class Errc {
  missing,     // no such file, folder, process or key
  unreadable,  // exists, but cannot be read (a folder, permissions, a link out of the root)
  too_large,   // beyond a bound the reader keeps
  too_deep,    // nested beyond a bound the reader keeps
  malformed,   // read, but not in the form expected
  invalid,     // a value or argument the caller gave is refused
  io,          // the system refused a write, a bind, a spawn
};

struct Error {
  Errc code = Errc::invalid;
  std::string message;
};

// Shorthand for `return fail(Errc::missing, "no trace at " + path);`.
inline Error fail(Errc code, std::string message) { return Error{code, std::move(message)}; }

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}      // NOLINT: implicit by design
  Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}  // NOLINT

  bool ok() const { return m_state.index() == 0; }
  explicit operator bool() const { return ok(); }

  // The value; only when ok().
  T& value() & { return std::get<0>(m_state); }
  const T& value() const& { return std::get<0>(m_state); }
  T&& value() && { return std::get<0>(std::move(m_state)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*this).value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  // The value, or `fallback` on failure.
  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }
  T value_or(T fallback) && { return ok() ? std::move(value()) : std::move(fallback); }

  // The failure; only when !ok().
  const Error& error() const { return std::get<1>(m_state); }
  Errc code() const { return error().code; }
  const std::string& message() const { return error().message; }

 private:
  std::variant<T, Error> m_state;
};

// A step that yields nothing but may fail.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : m_error(std::move(error)), m_failed(true) {}  // NOLINT

  bool ok() const { return !m_failed; }
  explicit operator bool() const { return ok(); }
  const Error& error() const { return m_error; }
  Errc code() const { return m_error.code; }
  const std::string& message() const { return m_error.message; }

 private:
  Error m_error;
  bool m_failed = false;
};

// A short word for a code, for log lines ("missing", "not a property list").
const char* describe(Errc code);

}  // namespace foundation
