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
    if (!s.full && !s.level) continue;  // says nothing either way
    bool full = is_full(s);
    if (full && !was_full) out.push_back(s.time);
    was_full = full;
  }
  return out;
}

}  // namespace history
