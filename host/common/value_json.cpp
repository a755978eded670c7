#include "host/common/value_json.h"

namespace px::host::common {
namespace {
std::string base64(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned n = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    out += {digits[n >> 18 & 63], digits[n >> 12 & 63], digits[n >> 6 & 63], digits[n & 63]};
  }
  if (i + 1 == bytes.size()) {
    unsigned n = bytes[i] << 16;
    out += {digits[n >> 18 & 63], digits[n >> 12 & 63], '=', '='};
  } else if (i + 2 == bytes.size()) {
    unsigned n = bytes[i] << 16 | bytes[i + 1] << 8;
    out += {digits[n >> 18 & 63], digits[n >> 12 & 63], digits[n >> 6 & 63], '='};
  }
  return out;
}
}  // namespace

nlohmann::json to_json(const platform::foundation::Value& v) {
  using K = platform::foundation::Value::Kind;
  switch (v.kind()) {
    case K::nil:
      return nullptr;
    case K::boolean:
      return *v.boolean();
    case K::integer:
      return *v.integer();
    case K::real:
      return *v.real();
    case K::string:
      return *v.string();
    case K::data:
      return base64(v.data()->bytes);
    case K::date:
      return v.date()->unix_seconds();
    case K::array: {
      auto a = nlohmann::json::array();
      for (auto& item : *v.array()) a.push_back(to_json(item));
      return a;
    }
    case K::dictionary: {
      auto o = nlohmann::json::object();
      for (auto& [k, item] : *v.dictionary()) o[k] = to_json(item);
      return o;
    }
  }
  return nullptr;
}

platform::foundation::Value from_json(const nlohmann::json& j) {
  if (j.is_boolean()) return j.get<bool>();
  if (j.is_number_integer()) return static_cast<long long>(j.get<std::int64_t>());
  if (j.is_number()) return j.get<double>();
  if (j.is_string()) return j.get<std::string>();
  if (j.is_array()) {
    platform::foundation::Array a;
    for (auto& item : j)
      if (auto v = from_json(item)) a.push_back(std::move(v));
    return a;
  }
  if (j.is_object()) {
    platform::foundation::Dictionary d;
    for (auto& [k, item] : j.items())
      if (auto v = from_json(item)) d[k] = std::move(v);
    return d;
  }
  return {};
}

}  // namespace px::host::common
