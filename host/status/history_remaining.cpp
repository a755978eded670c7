#include "host/status/history_remaining.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "history/remaining_text.h"
#include "host/common/value_json.h"

namespace px::host::status {

nlohmann::ordered_json remaining_json(const history::RemainingEstimate& e) {
  using json = nlohmann::ordered_json;
  const bool ok = e.status == history::RemainingStatus::ok;
  auto whole = [&](double v) { return ok ? json(std::llround(v)) : json(nullptr); };
  const char* direction = history::remaining_direction_name(e.direction);
  return {{"status", history::remaining_status_name(e.status)},
          {"direction", direction ? json(direction) : json(nullptr)},
          {"seconds", whole(e.seconds)},
          {"seconds_low", whole(e.seconds_low)},
          {"seconds_high", whole(e.seconds_high)},
          {"current_ma", e.current_ma ? json(std::llround(*e.current_ma)) : json(nullptr)}};
}

nlohmann::json time_left_json(history::KeptReader& store, double now) {
  history::HistoryReader* reader = store.reader();
  history::RemainingEstimate estimate =
      reader ? history::read_remaining(*reader, static_cast<std::int64_t>(std::floor(now)))
             : history::RemainingEstimate{};
  nlohmann::json out = remaining_json(estimate);
  out["text"] = history::remaining_text(estimate);
  return out;
}

std::string remaining_output(const history::RemainingEstimate& e, bool as_json) {
  if (as_json) return common::json_text(remaining_json(e), 2) + "\n";
  if (e.status == history::RemainingStatus::not_applicable)
    return "No time left to show (neither charging nor discharging, or nothing recorded lately)\n";
  std::string what = e.direction == history::RemainingDirection::to_full ? "Time to full: " : "Time to empty: ";
  std::string out = what + history::remaining_text(e);
  if (e.current_ma) out += ", at " + std::to_string(std::llround(*e.current_ma)) + " mA";
  return out + "\n";
}

}  // namespace px::host::status
