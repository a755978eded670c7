#include "history/sample.h"

#include <cmath>
#include <string_view>

#include "history/sample_fields.h"

namespace px::history {
namespace {

// Numbers only: a string or a container where a number belongs is as good as absent.
std::optional<std::int64_t> integer_of(const platform::foundation::Value& v) {
  if (const std::int64_t* i = v.integer()) return *i;
  if (const double* d = v.real()) {
    if (!std::isfinite(*d) || std::fabs(*d) > 9.0e15) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*d));
  }
  if (const bool* b = v.boolean()) return *b ? 1 : 0;
  return std::nullopt;
}

std::optional<double> real_of(const platform::foundation::Value& v) {
  if (const double* d = v.real()) return std::isfinite(*d) ? std::optional<double>(*d) : std::nullopt;
  if (const std::int64_t* i = v.integer()) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<bool> flag_of(const platform::foundation::Value& v) {
  if (const bool* b = v.boolean()) return *b;
  if (const std::int64_t* i = v.integer()) return *i != 0;
  return std::nullopt;
}

// The value at a key such as "AdapterDetails.Watts"; null when any step is
// not a dictionary.
const platform::foundation::Value& value_at(const platform::foundation::Value& status, std::string_view key) {
  static const platform::foundation::Value none;
  const platform::foundation::Value* at = &status;
  for (std::size_t begin = 0;;) {
    if (!at->is_dictionary()) return none;
    std::size_t dot = key.find('.', begin);
    at = &(*at)[key.substr(begin, dot == std::string_view::npos ? std::string_view::npos : dot - begin)];
    if (dot == std::string_view::npos) return *at;
    begin = dot + 1;
  }
}

template <class>
inline constexpr bool kUnhandled = false;

}  // namespace

std::optional<double> Sample::health_percent() const {
  if (!max_capacity || !design_capacity || *design_capacity <= 0 || *max_capacity < 0) return std::nullopt;
  return 100.0 * static_cast<double>(*max_capacity) / static_cast<double>(*design_capacity);
}

Sample sample_from_status(const platform::foundation::Value& status, std::optional<std::int32_t> level_percent,
                          double device_now) {
  Sample s;
  std::optional<std::int64_t> update_time = integer_of(status["UpdateTime"]);
  if (update_time && *update_time > 0)
    s.time = *update_time;
  else
    s.time = std::isfinite(device_now) ? static_cast<std::int64_t>(std::floor(device_now)) : 0;
  if (level_percent && *level_percent >= 0 && *level_percent <= 100) s.level = level_percent;
  // Every other reading is read from its key in the status, by its type.
  for (const SampleField& field : kSampleFields) {
    std::visit(
        [&](auto member) {
          using T = std::remove_reference_t<decltype(s.*member)>;
          if constexpr (std::is_same_v<T, std::optional<bool>>)
            s.*member = flag_of(value_at(status, field.status_key));
          else if constexpr (std::is_same_v<T, std::optional<std::int64_t>>)
            s.*member = integer_of(value_at(status, field.status_key));
          else if constexpr (std::is_same_v<T, std::optional<double>>)
            s.*member = real_of(value_at(status, field.status_key));
          else if constexpr (!std::is_same_v<T, std::int64_t> && !std::is_same_v<T, std::optional<std::int32_t>>)
            static_assert(kUnhandled<T>, "a reading of a type the status is not read as");
        },
        field.member);
  }
  return s;
}

bool repeats(const Sample& previous, const Sample& next) {
  std::int64_t gap = next.time - previous.time;
  if (gap < 0 || gap >= kRepeatWindowSeconds) return false;
  Sample same_time = next;
  same_time.time = previous.time;
  return same_time == previous;
}

}  // namespace px::history
