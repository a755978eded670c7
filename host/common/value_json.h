#pragma once
// Property-list values as JSON, for the control channel's --json replies and
// for battery traces. Data becomes base64 text and dates Unix seconds: JSON
// has neither, and a reader of a trace wants numbers it can plot.

#include <nlohmann/json.hpp>
#include <type_traits>

#include "platform/foundation/value.h"

namespace px::host::common {

nlohmann::json to_json(const platform::foundation::Value& v);
// Integers stay integers, other numbers become reals; null inside a container
// is dropped (a property list cannot hold it).
platform::foundation::Value from_json(const nlohmann::json& j);

// JSON text as the device's processes send it: compact unless `indent` says,
// and a string that is not UTF-8 written with U+FFFD instead of throwing. The
// one place JSON becomes text: a plain dump() throws on such a string, and a
// name or a file read from the device is not promised to be UTF-8
// (scripts/check_json_text.py keeps it the only one).
inline std::string json_text(const nlohmann::json& j, int indent = -1) {
  return j.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}
// The same for a document that keeps its keys in the order written (a template
// so that a string, which converts to either, still means the one above).
template <class Json, std::enable_if_t<std::is_same_v<Json, nlohmann::ordered_json>, int> = 0>
std::string json_text(const Json& j, int indent = -1) {
  return j.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace px::host::common
