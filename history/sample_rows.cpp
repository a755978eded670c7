#include "history/sample_rows.h"

#include <cmath>
#include <type_traits>

#include "history/sample_fields.h"

namespace px::history {
namespace {

template <class>
inline constexpr bool kUnhandled = false;

std::string joined_columns(bool overview_only) {
  std::string out;
  for (const SampleField& field : kSampleFields) {
    if (!out.empty()) out += ", ";
    out += overview_only && !field.in_overview ? "NULL" : field.column;
  }
  return out;
}

}  // namespace

const std::string& sample_columns() {
  static const std::string columns = joined_columns(false);
  return columns;
}

const std::string& overview_columns() {
  static const std::string columns = joined_columns(true);
  return columns;
}

const std::string& insert_sample_sql() {
  static const std::string sql = [] {
    std::string values;
    for (std::size_t i = 1; i <= kSampleFields.size(); ++i) values += (i > 1 ? ", ?" : "?") + std::to_string(i);
    return "INSERT INTO samples(" + sample_columns() + ") VALUES (" + values + ")";
  }();
  return sql;
}

void bind_sample(platform::sqlite::Statement& insert, const Sample& s) {
  int index = 1;
  for (const SampleField& field : kSampleFields) {
    std::visit(
        [&](auto member) {
          const auto& v = s.*member;
          using T = std::remove_cvref_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::int64_t>)
            insert.bind(index, std::optional<std::int64_t>(v));
          else if constexpr (std::is_same_v<T, std::optional<double>>)
            insert.bind(index, v);
          else if constexpr (std::is_same_v<T, std::optional<bool>>)
            insert.bind(index, v ? std::optional<std::int64_t>(*v ? 1 : 0) : std::nullopt);
          else  // the integers
            insert.bind(index, v ? std::optional<std::int64_t>(*v) : std::nullopt);
        },
        field.member);
    ++index;
  }
}

Sample sample_from_row(const platform::sqlite::Statement& row, int first) {
  Sample s;
  int index = first;
  for (const SampleField& field : kSampleFields) {
    std::visit(
        [&](auto member) {
          auto& v = s.*member;
          using T = std::remove_reference_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::int64_t>) {
            v = row.column_int(index).value_or(0);
          } else if constexpr (std::is_same_v<T, std::optional<double>>) {
            std::optional<double> real = row.column_real(index);
            if (real && std::isfinite(*real)) v = real;
          } else {
            std::optional<std::int64_t> n = row.column_int(index);
            if (!n || *n < field.min || *n > field.max) return;
            if constexpr (std::is_same_v<T, std::optional<bool>>)
              v = *n == 1;
            else if constexpr (std::is_same_v<T, std::optional<std::int32_t>>)
              v = static_cast<std::int32_t>(*n);
            else if constexpr (std::is_same_v<T, std::optional<std::int64_t>>)
              v = *n;
            else
              static_assert(kUnhandled<T>, "a reading of a type the store does not hold");
          }
        },
        field.member);
    ++index;
  }
  return s;
}

}  // namespace px::history
