#pragma once
// The commands the device's processes answer, as one table: each verb is a
// type whose fields are its arguments, with the grammar they are read by. A
// request travels as words (the control channel's JSON array of strings):
// simdevice builds the typed request and sends its words; the process reads
// the words back through the same grammar, so an argument is checked in one
// place and a process handles only requests whose values have their types.
// The battery's requests (battery-change, plug, unplug) carry their own typed
// change (host/device/battery_change.h) and stay outside this table.
//
// Reading, for every verb alike:
//   - an option of the verb's grammar may come anywhere; one that takes a
//     value takes the next word; of one given twice, the later wins;
//   - every other word is the next operand; a `rest` operand takes the words
//     left, joined by spaces;
//   - a missing or surplus operand, or a value not of its type, is refused
//     with a message that names it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/foundation/result.h"

namespace px::host::common::verbs {

enum class ArgType {
  word,      // any one word: a URL, a row's label, a listener's name
  position,  // a whole number from 0: digits only, at most 9 of them
  count,     // a whole number 0..max
  rest,      // the words left, joined by spaces (an operand only)
};

struct Operand {
  std::string_view name;  // "INDEX|TITLE"
  std::string_view help;
  ArgType type = ArgType::word;
  bool required = true;
  long max = 0;  // for a count
};

struct Option {
  std::string_view name;        // "--alert"
  std::string_view value_name;  // "N"; empty for a flag
  std::string_view help;
  ArgType type = ArgType::word;
  long max = 0;  // for a count
};

struct Grammar {
  std::vector<Operand> operands;
  std::vector<Option> options;
};

// A value of ArgType::position: digits only, at most 9 (no sign, no spaces,
// no "1e3"); nothing for anything else.
std::optional<long> read_position(const std::string& text);

// "press INDEX|TITLE [--alert N]".
std::string synopsis(std::string_view verb, const Grammar& grammar);

// One checked value, in grammar order (operands, then options); monostate for
// an optional argument not given.
using Given = std::variant<std::monostate, std::string, long, bool>;
platform::foundation::Result<std::vector<Given>> read_arguments(std::string_view verb, const Grammar& grammar,
                                                                const std::vector<std::string>& words);
// The words of checked values again (the inverse of read_arguments).
std::vector<std::string> write_arguments(const Grammar& grammar, const std::vector<Given>& values);

// ---- The verbs. A field's type follows its argument: a required operand is
// a std::string, an optional one or an option's value a std::optional, a
// number a long, a flag a bool; fields() lists them in grammar order.

#define PX_VERB(NAME)                            \
  static constexpr std::string_view verb = NAME; \
  static const Grammar& grammar();               \
  auto fields() { return std::tie(); }           \
  auto fields() const { return std::tie(); }

#define PX_VERB_WITH(NAME, ...)                   \
  static constexpr std::string_view verb = NAME;  \
  static const Grammar& grammar();                \
  auto fields() { return std::tie(__VA_ARGS__); } \
  auto fields() const { return std::tie(__VA_ARGS__); }

// Every process.
struct Status {
  PX_VERB("status")
};

// SpringBoard and the Settings app (host/common/alert_commands.h presses).
struct Alerts {
  bool json = false;
  PX_VERB_WITH("alerts", json)
};
struct Press {
  std::string button;         // a position from 0, else a button's exact title
  std::optional<long> alert;  // the alert's position from 0; without it, the newest
  PX_VERB_WITH("press", button, alert)
};

// SpringBoard.
struct Unlock {
  PX_VERB("unlock")
};
struct Lock {
  PX_VERB("lock")
};
struct Activator {
  std::string listener;
  PX_VERB_WITH("activator", listener)
};
struct Tick {
  std::optional<long> count;  // 1 when not given
  bool reset = false;
  PX_VERB_WITH("tick", count, reset)
};
// The time as typed (common::parse_device_time reads it against the device's now).
struct SetClock {
  std::string time;
  PX_VERB_WITH("clock", time)
};
struct Sync {
  PX_VERB("sync")
};

// The Settings app.
struct Open {
  std::string url;
  PX_VERB_WITH("open", url)
};
struct Show {
  bool json = false;
  PX_VERB_WITH("show", json)
};
struct Tap {
  std::string row;
  PX_VERB_WITH("tap", row)
};
struct SetRow {
  std::string row;
  std::string value;
  PX_VERB_WITH("set", row, value)
};
struct Back {
  PX_VERB("back")
};
struct Sheet {
  std::string button;
  PX_VERB_WITH("sheet", button)
};
struct Close {
  PX_VERB("close")
};

// The supervisor.
struct OpenSettings {
  std::string url;
  PX_VERB_WITH("open-settings", url)
};
struct Respring {
  PX_VERB("respring")
};
struct KillSpringBoard {
  PX_VERB("kill-springboard")
};
struct Shutdown {
  PX_VERB("shutdown")
};

#undef PX_VERB
#undef PX_VERB_WITH

// What each process answers. A process handles its request with std::visit
// over Handlers, so a verb without a handler does not compile.
using SpringBoardRequest = std::variant<Status, Alerts, Press, Unlock, Lock, Activator, Tick, SetClock, Sync>;
using SettingsRequest = std::variant<Open, Show, Tap, SetRow, Back, Alerts, Press, Sheet, Close, Status>;
using LaunchdRequest = std::variant<Status, OpenSettings, Respring, KillSpringBoard, Shutdown>;

// One lambda per verb: `std::visit(Handlers{[](const Tap& t) {…}, …}, request)`.
template <class... Handler>
struct Handlers : Handler... {
  using Handler::operator()...;
};

// ---- Between words and typed requests.

namespace detail {
template <class T>
struct is_optional : std::false_type {};
template <class T>
struct is_optional<std::optional<T>> : std::true_type {};

template <class Field>
void take(Field& field, const Given& given) {
  if constexpr (std::is_same_v<Field, bool>) {
    field = std::holds_alternative<bool>(given) && std::get<bool>(given);
  } else if constexpr (is_optional<Field>::value) {
    using Inner = typename Field::value_type;
    if (std::holds_alternative<Inner>(given)) field = std::get<Inner>(given);
  } else {
    field = std::get<Field>(given);
  }
}

template <class Field>
Given give(const Field& field) {
  if constexpr (is_optional<Field>::value) {
    if (!field) return std::monostate{};
    return Given(*field);
  } else {
    return Given(field);
  }
}
}  // namespace detail

// The words of a request, its verb first.
template <class Verb>
std::vector<std::string> words_of(const Verb& request) {
  std::vector<Given> values;
  std::apply([&](const auto&... field) { (values.push_back(detail::give(field)), ...); }, request.fields());
  std::vector<std::string> words{std::string(Verb::verb)};
  for (auto& word : write_arguments(Verb::grammar(), values)) words.push_back(std::move(word));
  return words;
}

template <class... Verbs>
std::vector<std::string> words_of(const std::variant<Verbs...>& request) {
  return std::visit([](const auto& r) { return words_of(r); }, request);
}

// One verb's request from the words after the verb.
template <class Verb>
platform::foundation::Result<Verb> read_verb(const std::vector<std::string>& arguments) {
  auto values = read_arguments(Verb::verb, Verb::grammar(), arguments);
  if (!values) return values.error();
  Verb request;
  std::size_t i = 0;
  std::apply([&](auto&... field) { (detail::take(field, (*values)[i++]), ...); }, request.fields());
  return request;
}

// A process's request from the words it was sent; "unknown command: X" for a
// verb it does not answer.
template <class Request>
platform::foundation::Result<Request> read_request(const std::vector<std::string>& words) {
  if (words.empty()) return platform::foundation::fail(platform::foundation::Errc::invalid, "no command");
  std::vector<std::string> arguments(words.begin() + 1, words.end());
  std::optional<platform::foundation::Result<Request>> found;
  auto try_verb = [&]<class Verb>(std::type_identity<Verb>) {
    if (found || words[0] != Verb::verb) return;
    auto request = read_verb<Verb>(arguments);
    found = request ? platform::foundation::Result<Request>(Request(std::move(*request)))
                    : platform::foundation::Result<Request>(request.error());
  };
  [&]<class... Verbs>(std::type_identity<std::variant<Verbs...>>) {
    (try_verb(std::type_identity<Verbs>{}), ...);
  }(std::type_identity<Request>{});
  if (!found) return platform::foundation::fail(platform::foundation::Errc::invalid, "unknown command: " + words[0]);
  return std::move(*found);
}

}  // namespace px::host::common::verbs
