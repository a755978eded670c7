#pragma once
// How long until the battery is empty (discharging) or full (charging): the
// one estimate the tweak's popup and status bar, the Battery Data pane and
// `simdevice history remaining` all show.
//
// It rests on the current the gauge reports (InstantAmperage, negative while
// discharging) over the recent samples of the present charger state:
// - the present load is the median of the readings since the current last
//   stepped, so one glitched reading moves nothing and a change of load is
//   followed after two readings agree on it;
// - discharging, the phone draws about constant power, so the current climbs
//   as the cell's voltage falls: the estimate divides the charge left by the
//   present current, shortened by the cell's open-circuit curve below the
//   present level; the range runs from the constant-power to the
//   constant-current time, widened by the spread of the readings;
// - charging is constant current up to a knee (about 80 %), then constant
//   voltage with the current decaying exponentially until a small cut-off: in
//   that taper the current falls in a straight line with the charge taken in,
//   so the slope seen gives the decay and the time left is τ·ln(I/I_cut).
//   Before the taper is seen, the knee comes from the voltage the gauge
//   reports (the drop across the cell at the present current tells where
//   the charge voltage will be reached), or else from a phone's usual range,
//   and the cut-off from a phone's usual range, which the range reflects.
// With too little to go on it says "calculating"; with no charger state or a
// full battery, nothing applies.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/sample.h"

namespace history {

class HistoryReader;

enum class RemainingStatus { ok, calculating, not_applicable };
enum class RemainingDirection { none, to_empty, to_full };
const char* remaining_status_name(RemainingStatus status);           // "ok", "calculating", "not_applicable"
const char* remaining_direction_name(RemainingDirection direction);  // "to_empty", "to_full"; nullptr for none

struct RemainingEstimate {
  RemainingStatus status = RemainingStatus::not_applicable;
  RemainingDirection direction = RemainingDirection::none;
  // From the newest sample's time on (status ok only); low <= seconds <= high.
  double seconds = 0, seconds_low = 0, seconds_high = 0;
  // The present current the estimate rests on, signed as the gauge reports it.
  std::optional<double> current_ma;
};

// The samples the estimate looks at: the last half hour.
inline constexpr std::int64_t kRemainingWindowSeconds = 30 * 60;

// The cell's charging profile as a phone's usual range: where the taper
// begins (share of the full charge) and the current it is cut off at
// (share of the full-charge capacity per hour, i.e. C/20 nominal).
struct ChargeProfile {
  double knee = 0.80, knee_low = 0.70, knee_high = 0.90;
  // The cell's charge voltage (mV): with the gauge's voltage, the knee is
  // where the open-circuit voltage plus the present drop across the cell
  // reaches it — later at a small current, earlier at a large one.
  double charge_millivolts = 4200;
  double cutoff_c = 0.05, cutoff_c_low = 0.025, cutoff_c_high = 0.10;
};

// The estimate from `recent` (oldest first; older samples than the window are
// ignored) at device time `now`.
RemainingEstimate estimate_remaining(const std::vector<Sample>& recent, std::int64_t now,
                                     const ChargeProfile& profile = {});

// The same from the history store: the window's samples read through `reader`
// (opened here when it is not). No store or no samples: not applicable.
RemainingEstimate read_remaining(HistoryReader& reader, std::int64_t now);

// The last window of samples, kept in memory by a process that sees every
// broadcast (the tweak: it estimates whether or not history is kept).
class RecentSamples {
 public:
  void add(const Sample& sample);
  const std::vector<Sample>& samples() const { return m_samples; }
  void clear() { m_samples.clear(); }

 private:
  std::vector<Sample> m_samples;
};

}  // namespace history
