#pragma once
// Charge sessions and full charges, derived from the samples by one
// definition that the History pane and `simdevice history` share.
//
// A session runs from the first sample with the charger connected
// (ExternalConnected) after one without it, to the first sample without it
// again. Samples that do not say whether a charger is connected change
// nothing. A full charge is the first sample reporting FullyCharged after
// one that did not (a status without the key: level 100 on the charger).

#include <cstdint>
#include <optional>
#include <vector>

#include "history/sample.h"

namespace px::history {

struct ChargeSession {
  std::int64_t start = 0;
  // The disconnect sample's time; none while the charger is still connected.
  std::optional<std::int64_t> end;
  std::optional<std::int32_t> start_level, end_level;
  // Raw capacity at the end less at the start: what the battery holds more
  // (negative when the device used more than the charger gave).
  std::optional<std::int64_t> mah_added;
  std::optional<double> peak_watts;
  // Up to the disconnect, or to the last sample of a session still going.
  std::int64_t duration = 0;
  bool operator==(const ChargeSession&) const = default;
};

// The same definitions, one sample at a time (oldest first), for readers
// that walk the store without holding it.
class SessionTracker {
 public:
  // The session this sample ends, if it ends one.
  std::optional<ChargeSession> add(const Sample& s);
  // The session still going after the last sample, if any.
  std::optional<ChargeSession> ongoing() const;

 private:
  std::optional<ChargeSession> m_open;
  std::optional<std::int64_t> m_start_raw;
  // What the last sample on the charger said (a disconnect that does not say takes these).
  std::int64_t m_last_time = 0;
  std::optional<std::int32_t> m_last_level;
  std::optional<std::int64_t> m_last_raw;
};

class FullChargeTracker {
 public:
  // Whether this sample reaches a full charge.
  bool add(const Sample& s);

 private:
  bool m_was_full = false;
};

// Sessions in `samples` (oldest first, as the store returns them), oldest first.
std::vector<ChargeSession> charge_sessions(const std::vector<Sample>& samples);

// Times at which a full charge was reached, oldest first.
std::vector<std::int64_t> full_charges(const std::vector<Sample>& samples);

// What the samples before a stretch of history left behind: whether the
// charger was last said to be connected, and whether the battery was last
// said to be full (the states both definitions above carry from one sample
// to the next). Empty: no sample has said yet.
struct ChargeState {
  std::optional<bool> external;
  std::optional<bool> full;
  bool known() const { return external && full; }
};

// The state after `samples` (oldest first), starting from `before`.
ChargeState charge_state_after(const std::vector<Sample>& samples, ChargeState before = {});
// Reading history backwards: fills in what `older` says and no newer sample
// has said yet. Once known(), older samples change nothing.
void fill_in_from_older(ChargeState& state, const Sample& older);

// Which of `samples` (a stretch of history, oldest first, following a past
// that left `before`) the sessions and full charges rest on: every sample
// where the charger is connected or disconnected and where the battery turns
// full or stops being full; the last sample on the charger before each
// disconnect, or at the stretch's end while still connected (a disconnect
// that does not say the level or raw capacity takes them from there); and the
// sample with the highest watts of each stretch on the charger; and, where
// `before` does not know a state, the first sample that says it. Removing any
// other samples leaves charge_sessions and full_charges of the whole history
// as they were. Indices into `samples`, ascending.
std::vector<std::size_t> session_marking_samples(const std::vector<Sample>& samples, ChargeState before);

}  // namespace px::history
