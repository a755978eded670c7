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
// - discharging, the current stays as it is (a phone drawing constant
//   current) or climbs as the cell's voltage falls (constant power): the
//   estimate is the middle of the two times, the charge left over the present
//   current and that shortened by the cell's open-circuit curve below the
//   present level; the range spans both, widened by the spread of the readings;
// - charging is constant current until the terminal voltage (the cell's
//   open-circuit voltage plus the drop across its resistance) reaches the
//   charge voltage, then constant voltage, the current (Vc − OCV) / R falling
//   as the cell fills, until a small cut-off. The cell's curve is
//   shared/cell_curve.h; its resistance is learned from the gauge: the voltage
//   above the curve at the present current before the knee, the current that
//   holds the charge voltage in the taper (whose voltage the gauge shows).
//   The time is the integral of that current to full. Without a voltage the
//   knee comes from a phone's usual range and the taper is taken as an
//   exponential decay (τ·ln(I/I_cut)), which the range reflects.
// With too little to go on it says "calculating"; with no charger state or a
// full battery, nothing applies.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/sample.h"
#include "shared/cell_curve.h"

namespace px::history {

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
  // The cell's charge voltage (mV) until the taper shows it: with the
  // gauge's voltage, the knee is where the open-circuit voltage plus the
  // present drop across the cell reaches it — later at a small current,
  // earlier at a large one.
  double charge_millivolts = shared::kCellChargeVolts * 1000;
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

}  // namespace px::history
