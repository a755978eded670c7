#include "prefs/history_texts.h"

#include <cmath>
#include <cstdio>

#include "platform/foundation/date_formatter.h"

namespace px::prefs {
namespace {

std::string printf_text(const char* fmt, auto... args) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

std::string formatted(std::int64_t time, const char* pattern) {
  auto f = platform::foundation::NSDateFormatter::make();
  f->setLocale("en_US");
  f->setDateFormat(pattern);
  return f->stringFromDate(static_cast<double>(time));
}

// Cycles as a person would say them: to the ten above a hundred, to the five above thirty.
long long about(double cycles) {
  double step = cycles >= 100 ? 10 : cycles >= 30 ? 5 : 1;
  return std::llround(cycles / step) * static_cast<long long>(step);
}

}  // namespace

std::string health_text(std::optional<double> health_percent) {
  if (!health_percent || !std::isfinite(*health_percent)) return kNotYetAvailable;
  return printf_text("%.1f %%", *health_percent);
}

std::string cycles_per_week_text(std::optional<double> cycles_per_day) {
  if (!cycles_per_day || !std::isfinite(*cycles_per_day)) return kNotYetAvailable;
  return printf_text("%.1f", *cycles_per_day * 7);
}

std::string month_text(std::int64_t time) { return formatted(time, "MMMM yyyy"); }

std::string axis_time_text(std::int64_t time, std::int64_t span_seconds) {
  constexpr std::int64_t kDay = 24 * 60 * 60;
  if (span_seconds >= 60 * kDay) return month_text(time);
  return formatted(time, span_seconds >= 2 * kDay ? "MMM d" : "MMM d HH:mm");
}

std::string date_time_text(std::int64_t time) { return formatted(time, "MMM d, yyyy HH:mm"); }

std::string forecast_text(const history::Forecast& f) {
  using history::ForecastStatus;
  switch (f.status) {
    case ForecastStatus::ok: {
      if (!f.cycles_to_80) return "No wear measured yet";
      std::string text = printf_text("80 %% in about %lld cycles", about(*f.cycles_to_80));
      if (f.cycles_to_80_low && f.cycles_to_80_high)
        text += printf_text(" (%lld–%lld)", about(*f.cycles_to_80_low), about(*f.cycles_to_80_high));
      else if (f.cycles_to_80_low)
        text += printf_text(" (%lld or more)", about(*f.cycles_to_80_low));
      if (f.time_80) text += ", around " + month_text(*f.time_80);
      return text;
    }
    case ForecastStatus::not_enough_history:
      if (f.days_needed && *f.days_needed > 0)
        return printf_text("Not enough history yet (%d more day%s)", *f.days_needed, *f.days_needed == 1 ? "" : "s");
      return "Not enough history yet";
    case ForecastStatus::not_cycled:
      return "No forecast: the battery has not cycled";
    case ForecastStatus::no_wear:
      return "No wear measured yet";
    case ForecastStatus::already_below_80:
      return "Already below 80 %";
    case ForecastStatus::no_capacity_data:
      return "No capacity data yet";
  }
  return kNotYetAvailable;
}

std::string duration_text(std::int64_t seconds) {
  long long minutes = std::max<std::int64_t>(0, seconds) / 60;
  if (minutes < 60) return printf_text("%lld min", minutes);
  if (minutes < 24 * 60) return printf_text("%lld h %02lld min", minutes / 60, minutes % 60);
  return printf_text("%lld d %lld h", minutes / (24 * 60), minutes / 60 % 24);
}

std::string session_title(const history::ChargeSession& s) {
  std::string start = formatted(s.start, "MMM d HH:mm");
  if (!s.end) return start + " → now";
  bool same_day = formatted(s.start, "yyyyMMdd") == formatted(*s.end, "yyyyMMdd");
  return start + " → " + formatted(*s.end, same_day ? "HH:mm" : "MMM d HH:mm");
}

std::string session_details(const history::ChargeSession& s) {
  auto level = [](std::optional<std::int32_t> l) { return l ? std::to_string(*l) + " %" : std::string("–"); };
  std::string text = level(s.start_level) + " → " + level(s.end_level);
  text += ", " + (s.mah_added ? printf_text("%+lld mAh", static_cast<long long>(*s.mah_added)) : std::string("– mAh"));
  text += ", " + (s.peak_watts ? printf_text("%g W", *s.peak_watts) : std::string("– W"));
  text += ", " + duration_text(s.duration);
  return text;
}

}  // namespace px::prefs
