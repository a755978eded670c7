#include "history/sessions.h"

#include <algorithm>

namespace px::history {
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

std::optional<ChargeSession> SessionTracker::add(const Sample& s) {
  if (!s.external) return std::nullopt;
  if (*s.external) {
    if (!m_open) {
      m_open = ChargeSession{};
      m_open->start = s.time;
      m_open->start_level = s.level;
      m_start_raw = s.raw_capacity;
    }
    take_watts(*m_open, s);
    m_last_time = s.time;
    m_last_level = s.level;
    m_last_raw = s.raw_capacity;
    return std::nullopt;
  }
  if (!m_open) return std::nullopt;
  ChargeSession done = *m_open;
  m_open.reset();
  done.end = s.time;
  done.end_level = s.level ? s.level : m_last_level;
  done.mah_added = difference(s.raw_capacity ? s.raw_capacity : m_last_raw, m_start_raw);
  done.duration = std::max<std::int64_t>(0, s.time - done.start);
  return done;
}

std::optional<ChargeSession> SessionTracker::ongoing() const {
  if (!m_open) return std::nullopt;
  ChargeSession going = *m_open;
  going.end_level = m_last_level;
  going.mah_added = difference(m_last_raw, m_start_raw);
  going.duration = std::max<std::int64_t>(0, m_last_time - going.start);
  return going;
}

bool FullChargeTracker::add(const Sample& s) {
  if (!tells_fullness(s)) return false;
  bool full = is_full(s);
  bool reached = full && !m_was_full;
  m_was_full = full;
  return reached;
}

std::vector<ChargeSession> charge_sessions(const std::vector<Sample>& samples) {
  std::vector<ChargeSession> sessions;
  SessionTracker tracker;
  for (const Sample& s : samples)
    if (std::optional<ChargeSession> done = tracker.add(s)) sessions.push_back(*done);
  if (std::optional<ChargeSession> going = tracker.ongoing()) sessions.push_back(*going);
  return sessions;
}

std::vector<std::int64_t> full_charges(const std::vector<Sample>& samples) {
  std::vector<std::int64_t> out;
  FullChargeTracker tracker;
  for (const Sample& s : samples)
    if (tracker.add(s)) out.push_back(s.time);
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
      // Where the past is not known, the first sample that says is kept: it
      // may be the change, whatever it says.
      if (!before.external) marks.push_back(i);
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
      if (!before.full || full != *before.full) marks.push_back(i);
      before.full = full;
    }
  }
  close_stretch();  // still on the charger at the stretch's end
  std::sort(marks.begin(), marks.end());
  marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
  return marks;
}

}  // namespace px::history
