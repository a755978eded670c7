#include "history/remaining_text.h"

#include <cmath>
#include <cstdio>

namespace px::history {
namespace {

long long whole_minutes(double seconds) {
  return std::isfinite(seconds) && seconds > 0 ? std::llround(seconds / 60) : 0;
}

// A range's ends without the unit of minutes after hours: "3 h 10", "45 min".
std::string range_end_text(double seconds) {
  long long m = whole_minutes(seconds);
  if (m < 60) return std::to_string(m) + " min";
  return std::to_string(m / 60) + " h" + (m % 60 ? " " + std::to_string(m % 60) : "");
}

}  // namespace

std::string duration_text(double seconds) {
  long long m = whole_minutes(seconds);
  if (m == 0) return "less than a minute";
  if (m < 60) return std::to_string(m) + " min";
  return std::to_string(m / 60) + " h" + (m % 60 ? " " + std::to_string(m % 60) + " min" : "");
}

std::string remaining_text(const RemainingEstimate& e) {
  switch (e.status) {
    case RemainingStatus::calculating:
      return kCalculatingText;
    case RemainingStatus::not_applicable:
      return {};
    case RemainingStatus::ok:
      break;
  }
  std::string low = range_end_text(e.seconds_low), high = range_end_text(e.seconds_high);
  // "25 – 40 min" rather than "25 min – 40 min".
  if (low.ends_with(" min") && high.ends_with(" min")) low.resize(low.size() - 4);
  return duration_text(e.seconds) + " (" + low + " \u2013 " + high + ")";
}

std::string remaining_row_text(const RemainingEstimate& e, RemainingDirection row) {
  if (e.direction != row || e.status == RemainingStatus::not_applicable) return "\u2014";
  return remaining_text(e);
}

std::string remaining_clock_text(const RemainingEstimate& e) {
  if (e.status != RemainingStatus::ok) return {};
  long long m = whole_minutes(e.seconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld:%02lld", m / 60, m % 60);
  return buf;
}

}  // namespace px::history
