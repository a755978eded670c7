#include "history/sample_rows.h"

#include <cmath>

namespace history {
namespace {

std::optional<std::int64_t> as_int(const std::optional<bool>& b) {
  if (!b) return std::nullopt;
  return *b ? 1 : 0;
}

std::optional<bool> flag(const sqlite::Statement& row, int i) {
  std::optional<std::int64_t> v = row.column_int(i);
  if (!v || (*v != 0 && *v != 1)) return std::nullopt;
  return *v == 1;
}

}  // namespace

void bind_sample(sqlite::Statement& insert, const Sample& s) {
  insert.bind(1, std::optional<std::int64_t>(s.time));
  insert.bind(2, s.level ? std::optional<std::int64_t>(*s.level) : std::nullopt);
  insert.bind(3, as_int(s.charging));
  insert.bind(4, as_int(s.external));
  insert.bind(5, as_int(s.full));
  insert.bind(6, s.raw_capacity);
  insert.bind(7, s.max_capacity);
  insert.bind(8, s.design_capacity);
  insert.bind(9, s.cycles);
  insert.bind(10, s.temperature);
  insert.bind(11, s.voltage);
  insert.bind(12, s.amperage);
  insert.bind(13, s.watts);
}

Sample sample_from_row(const sqlite::Statement& row, int first) {
  Sample s;
  s.time = row.column_int(first).value_or(0);
  std::optional<std::int64_t> level = row.column_int(first + 1);
  if (level && *level >= 0 && *level <= 100) s.level = static_cast<std::int32_t>(*level);
  s.charging = flag(row, first + 2);
  s.external = flag(row, first + 3);
  s.full = flag(row, first + 4);
  s.raw_capacity = row.column_int(first + 5);
  s.max_capacity = row.column_int(first + 6);
  s.design_capacity = row.column_int(first + 7);
  s.cycles = row.column_int(first + 8);
  s.temperature = row.column_int(first + 9);
  s.voltage = row.column_int(first + 10);
  s.amperage = row.column_int(first + 11);
  std::optional<double> watts = row.column_real(first + 12);
  if (watts && std::isfinite(*watts)) s.watts = watts;
  return s;
}

}  // namespace history
