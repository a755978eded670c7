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

namespace history {

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
  bool ongoing() const { return !end.has_value(); }
};

// Sessions in `samples` (oldest first, as the store returns them), oldest first.
std::vector<ChargeSession> charge_sessions(const std::vector<Sample>& samples);

// Times at which a full charge was reached, oldest first.
std::vector<std::int64_t> full_charges(const std::vector<Sample>& samples);

}  // namespace history
