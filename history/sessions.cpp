#include "history/sessions.h"

#include <algorithm>

namespace history {
namespace {

std::optional<std::int64_t> difference(const std::optional<std::int64_t>& end,
                                       const std::optional<std::int64_t>& start) {
  if (!end || !start) return std::nullopt;
  return *end - *start;
}

void take_watts(ChargeSession& session, const Sample& s) {
  if (s.watts && (!session.peak_watts || *s.watts > *session.peak_watts)) session.peak_watts = s.watts;
}

bool is_full(const Sample& s) {
  if (s.full) return *s.full;
  return s.level && *s.level == 100 && s.external.value_or(false);
}

// A sample without FullyCharged and without a level says nothing about fullness.
bool tells_fullness(const Sample& s) { return s.full || s.level; }

}  // namespace

std::vector<ChargeSession> charge_sessions(const std::vector<Sample>& samples) {
  std::vector<ChargeSession> sessions;
  std::optional<ChargeSession> open;
  std::optional<std::int64_t> start_raw;
  const Sample* last_connected = nullptr;
  for (const Sample& s : samples) {
    if (!s.external) continue;
    if (*s.external) {
      if (!open) {
        open = ChargeSession{};
        open->start = s.time;
        open->start_level = s.level;
        start_raw = s.raw_capacity;
      }
      take_watts(*open, s);
      last_connected = &s;
    } else if (open) {
      open->end = s.time;
      open->end_level = s.level ? s.level : last_connected->level;
      open->mah_added = difference(s.raw_capacity ? s.raw_capacity : last_connected->raw_capacity, start_raw);
      open->duration = std::max<std::int64_t>(0, s.time - open->start);
      sessions.push_back(*open);
      open.reset();
    }
  }
  if (open) {
    open->end_level = last_connected->level;
    open->mah_added = difference(last_connected->raw_capacity, start_raw);
    open->duration = std::max<std::int64_t>(0, last_connected->time - open->start);
    sessions.push_back(*open);
  }
  return sessions;
}

std::vector<std::int64_t> full_charges(const std::vector<Sample>& samples) {
  std::vector<std::int64_t> out;
  bool was_full = false;
  for (const Sample& s : samples) {
    if (!tells_fullness(s)) continue;
    bool full = is_full(s);
    if (full && !was_full) out.push_back(s.time);
    was_full = full;
  }
  return out;
}

ChargeState charge_state_after(const std::vector<Sample>& samples, ChargeState before) {
  for (const Sample& s : samples) {
    if (s.external) before.external = s.external;
    if (tells_fullness(s)) before.full = is_full(s);
  }
  return before;
}

void fill_in_from_older(ChargeState& state, const Sample& older) {
  if (!state.external && older.external) state.external = older.external;
  if (!state.full && tells_fullness(older)) state.full = is_full(older);
}

std::vector<std::size_t> session_marking_samples(const std::vector<Sample>& samples, ChargeState before) {
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::vector<std::size_t> marks;
  std::size_t last_connected = kNone, peak = kNone;  // within the current stretch on the charger
  auto close_stretch = [&]() {
    if (last_connected != kNone) marks.push_back(last_connected);
    if (peak != kNone) marks.push_back(peak);
    last_connected = peak = kNone;
  };
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const Sample& s = samples[i];
    if (s.external) {
      bool was_connected = before.external.value_or(false);
      if (*s.external) {
        if (!was_connected) marks.push_back(i);
        last_connected = i;
        if (s.watts && (peak == kNone || *s.watts > *samples[peak].watts)) peak = i;
      } else if (was_connected) {
        marks.push_back(i);
        close_stretch();
      }
      before.external = s.external;
    }
    if (tells_fullness(s)) {
      bool full = is_full(s);
      if (full != before.full.value_or(false)) marks.push_back(i);
      before.full = full;
    }
  }
  close_stretch();  // still on the charger at the stretch's end
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  return marks;
}

}  // namespace history
