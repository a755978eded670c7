#pragma once
// The outcome of a fallible internal step: a value, or a code and a message.
// Codes let a caller decide (a missing file is not a broken one); messages are
// written for the person reading a log line or an error on the terminal. The
// platform's public face turns a failure into nil, 0 or no file, as the device
// does; Result is for what lies behind it.

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace px::platform::foundation {

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

// A value, or an error of type E. Each layer may have its own E (a store's
// failures are not a file's); an error of a lower layer converts into the
// caller's E where the caller's E says how (a constructor taking it), so a
// failure passes up with TRY and nothing more.
template <class T, class E = Error>
class [[nodiscard]] Result {
 public:
  Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}  // NOLINT: implicit by design
  Result(E error) : m_state(std::in_place_index<1>, std::move(error)) {}  // NOLINT
  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, E> && std::is_constructible_v<E, F> &&
           !std::is_constructible_v<T, F>) Result(F&& error)
      : m_state(std::in_place_index<1>, E(std::forward<F>(error))) {}  // NOLINT

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
  // The value moved out, by value (what TRY yields); only when ok().
  T release_value() { return std::get<0>(std::move(m_state)); }
  // The value, or `fallback` on failure.
  T value_or(T fallback) const& { return ok() ? value() : std::move(fallback); }
  T value_or(T fallback) && { return ok() ? std::move(value()) : std::move(fallback); }

  // The failure; only when !ok().
  const E& error() const& { return std::get<1>(m_state); }
  E&& error() && { return std::get<1>(std::move(m_state)); }
  Errc code() const requires std::is_same_v<E, Error> { return error().code; }
  const std::string& message() const requires std::is_same_v<E, Error> { return error().message; }

 private:
  std::variant<T, E> m_state;
};

// A step that yields nothing but may fail.
template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E error) : m_error(std::move(error)), m_failed(true) {}  // NOLINT
  template <class F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, E> && std::is_constructible_v<E, F>) Result(F&& error)
      : m_error(std::forward<F>(error)), m_failed(true) {}  // NOLINT
  // The outcome of a lower layer's step, its failure in this layer's terms.
  template <class F>
  requires(!std::is_same_v<F, E> && std::is_constructible_v<E, const F&>) Result(const Result<void, F>& other)
      : m_failed(!other.ok()) {  // NOLINT
    if (m_failed) m_error = E(other.error());
  }

  bool ok() const { return !m_failed; }
  explicit operator bool() const { return ok(); }
  // Nothing: lets TRY take a step that yields no value.
  void value() const {}
  void release_value() const {}
  const E& error() const& { return m_error; }
  E&& error() && { return std::move(m_error); }
  Errc code() const requires std::is_same_v<E, Error> { return m_error.code; }
  const std::string& message() const requires std::is_same_v<E, Error> { return m_error.message; }

 private:
  E m_error{};
  bool m_failed = false;
};

// Passes a failure up, as `?` or SerenityOS's TRY do: yields the value of a
// Result, or returns its error (converted to the enclosing function's error
// type) from the function. A GNU statement expression, which GCC and Clang
// both take:  `sqlite::Statement st = TRY(db.prepare(sql));`
#define TRY(expression)                                                 \
  ({                                                                    \
    auto&& px_try_result_ = (expression);                               \
    if (!px_try_result_.ok()) return std::move(px_try_result_).error(); \
    px_try_result_.release_value();                                     \
  })

// A short word for a code, for log lines ("missing", "not a property list").
const char* describe(Errc code);

}  // namespace px::platform::foundation
