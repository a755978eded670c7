#pragma once
// The History panes' texts, from the history library's figures. Kept apart
// from the panes so each wording is decided once and tested alone.

#include <cstdint>
#include <optional>
#include <string>

#include "history/forecast.h"
#include "history/sessions.h"

namespace px::prefs {

inline constexpr const char* kHistoryUnavailable = "History unavailable";
inline constexpr const char* kNotYetAvailable = "Not yet available";
// The charts of a store with no samples (none recorded yet, or cleared).
inline constexpr const char* kNoSamplesYet = "No samples yet";

// "91.4 %", or "Not yet available".
std::string health_text(std::optional<double> health_percent);
// "10.5", or "Not yet available".
std::string cycles_per_week_text(std::optional<double> cycles_per_day);
// "80 % in about 420 cycles (380–470), around March 2028", "Not enough
// history yet (9 more days)", "No wear measured yet", …
std::string forecast_text(const history::Forecast& forecast);
// "March 2028" (the device's time zone).
std::string month_text(std::int64_t time);
// A time axis's end label, as fine as the axis's span needs: "March 2028"
// over two months or more, "Mar 3" over two days or more, "Mar 3 21:05"
// below (so a short chart's two ends do not read the same).
std::string axis_time_text(std::int64_t time, std::int64_t span_seconds);
// "Mar 3, 2026 21:05" (the device's time zone).
std::string date_time_text(std::int64_t time);
// A session's row: "Mar 3 21:05 → 23:10" (the end's date only when it differs;
// "→ now" while charging) and "20 % → 90 %, +1092 mAh, 5 W, 2 h 05 min"
// ("–" for what was not recorded).
std::string session_title(const history::ChargeSession& session);
std::string session_details(const history::ChargeSession& session);
// "2 h 05 min", "45 min", "3 d 4 h".
std::string duration_text(std::int64_t seconds);

}  // namespace px::prefs
