#pragma once
// Property-list values as JSON, for the control channel's --json replies and
// for battery traces. Data becomes base64 text and dates Unix seconds: JSON
// has neither, and a reader of a trace wants numbers it can plot.

#include <nlohmann/json.hpp>

#include "platform/foundation/value.h"

namespace host {

nlohmann::json to_json(const foundation::Value& v);
// Integers stay integers, other numbers become reals; null inside a container
// is dropped (a property list cannot hold it).
foundation::Value from_json(const nlohmann::json& j);

// JSON text as the device's processes send it: compact unless `indent` says,
// and a string that is not UTF-8 written with U+FFFD instead of throwing.
inline std::string json_text(const nlohmann::json& j, int indent = -1) {
  return j.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace host
