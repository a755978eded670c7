#include "history/remaining_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "history/health.h"
#include "history/robust_fit.h"
#include "history/store.h"
#include "shared/cell_curve.h"

namespace px::history {
namespace {

// A reading further than this from the present load is not that load: a
// steady load's readings stay well inside it, a change worth following goes
// beyond it.
constexpr double kSteadyTolerance = 0.12;
// A longer gap between samples (the store thinned, the phone off) ends the run.
constexpr std::int64_t kMaxGapSeconds = 10 * 60;
// The taper is looked for in this much of the newest samples.
constexpr std::int64_t kTaperWindowSeconds = 15 * 60;
constexpr std::size_t kTaperPoints = 60;
// What the readings cannot show, added to every range: the gauge's own error
// and the drift of a load that looks steady.
constexpr double kModelSlack = 0.05;
// Two readings alone could both be a new load or one of them a glitch: their
// spread counts at least this much.
constexpr double kFewReadingsSpread = 0.06;

double open_circuit_volts(double share) { return shared::cell_open_circuit_volts(share); }

// At constant power the current is P/V: the time left is the charge left over
// the present current times the mean voltage still to come over the present one.
double constant_power_share(double share) {
  if (share <= 0.001) return 1;
  constexpr int kSteps = 50;
  double sum = 0;
  for (int k = 0; k < kSteps; ++k) sum += open_circuit_volts(share * (k + 0.5) / kSteps);
  return sum / kSteps / open_circuit_volts(share);
}

RemainingDirection direction_of(const Sample& s) {
  if (s.full.value_or(false)) return RemainingDirection::none;
  std::int64_t amps = s.amperage.value_or(0);
  if (s.external) {
    if (!*s.external) return RemainingDirection::to_empty;
    // On the charger and not charging: held at full, or the charger too weak to say.
    return s.charging.value_or(amps > 0) ? RemainingDirection::to_full : RemainingDirection::none;
  }
  if (amps < 0) return RemainingDirection::to_empty;
  if (amps > 0) return RemainingDirection::to_full;
  return RemainingDirection::none;
}

struct Reading {
  double t = 0;
  std::optional<double> current;  // mA into the cell charging, out of it discharging
  std::optional<double> capacity;
  std::optional<double> volts;
};

struct Steady {
  double current = 0;
  double spread = 0;  // relative uncertainty of the present current
  double since = 0;   // time of the oldest reading of this load
};

// A load wanders slowly: readings closer together than this are counted as
// one when the spread of their median is reckoned.
constexpr double kIndependentSeconds = 120;

// The present load from the currents (oldest first): the median of the
// newest readings that agree with the newest three's median, read back until
// two readings in a row disagree (a change of load); one disagreeing reading
// between agreeing ones is a glitch and skipped.
std::optional<Steady> steady_current(const std::vector<double>& times, const std::vector<double>& currents) {
  const std::size_t n = currents.size();
  if (n < 2) return std::nullopt;
  double ref;
  if (n == 2) {
    double a = currents[0], b = currents[1];
    if (std::fabs(a - b) > kSteadyTolerance * std::max(std::fabs(a), std::fabs(b))) return std::nullopt;
    ref = (a + b) / 2;
  } else {
    std::vector<double> last3(currents.end() - 3, currents.end());
    ref = median_of(last3);
  }
  if (ref <= 0) return std::nullopt;
  std::vector<double> kept;
  double oldest = times.back();
  int misses = 0;
  for (std::size_t i = n; i-- > 0;) {
    if (std::fabs(currents[i] - ref) <= kSteadyTolerance * ref) {
      kept.push_back(currents[i]);
      oldest = times[i];
      misses = 0;
    } else if (++misses == 2) {
      break;
    }
  }
  if (kept.size() < 2) return std::nullopt;
  double m = median_of(kept);
  std::vector<double> deviations;
  for (double v : kept) deviations.push_back(std::fabs(v - m));
  double mad = median_of(deviations);
  // The standard error of a median, the deviation estimated from the MAD.
  double independent = std::min(static_cast<double>(kept.size()), 1 + (times.back() - oldest) / kIndependentSeconds);
  double spread = 1.2533 * 1.4826 * mad / std::sqrt(independent) / m;
  if (kept.size() < 4) spread = std::max(spread, kFewReadingsSpread);
  return Steady{m, spread, oldest};
}

// Hours to put `charge` (mAh) in, from `current` decaying exponentially to
// `cutoff`: the current falls in a line with the charge taken in, so the
// decay's time constant is charge ÷ (current − cut-off).
double taper_hours(double charge, double current, double cutoff) {
  if (charge <= 0) return 0;
  if (current <= cutoff * 1.001) return charge / current;
  return charge / (current - cutoff) * std::log(current / cutoff);
}

struct Span {
  double hours, low, high;
};

Span to_empty(double capacity, double share, const Steady& steady) {
  double constant_current = capacity / steady.current;
  double e = std::min(0.5, steady.spread + kModelSlack);
  double constant_power = constant_current * constant_power_share(share);
  // Whether the phone draws constant power or constant current, the middle
  // is within half their gap of the truth; the range spans both.
  return {(constant_current + constant_power) / 2, constant_power / (1 + e), constant_current / (1 - e)};
}

// The cell as the gauge shows it: the charge voltage and the resistance.
struct Cell {
  double charge_volts;
  double ohms;
};

// Hours to charge from `share` to full at `cc_ma` until the terminal reaches
// the charge voltage, then at what holds it there, (Vc − OCV) / R, until that
// falls to the cut-off (or the cell is full): the cell's own constant-voltage
// phase, from its open-circuit curve.
double charge_hours(double share, double max, double cc_ma, const Cell& cell, double cutoff_ma) {
  constexpr double kStep = 0.002;
  auto current = [&](double s) {
    return std::min(cc_ma, (cell.charge_volts - open_circuit_volts(s)) * 1000 / cell.ohms);
  };
  double hours = 0;
  double i0 = current(share);
  for (double s = share; s < 1 && i0 >= cutoff_ma; s += kStep) {
    double ds = std::min(kStep, 1 - s);
    double i1 = current(s + ds);
    if (i1 < cutoff_ma) {  // the cut-off within this step: only up to it
      ds *= (i0 - cutoff_ma) / (i0 - i1);
      i1 = cutoff_ma;
    }
    // The current runs in a line across a step (the curve is one there): the
    // time is exact for it, not the step's first current's.
    double per_ma = std::fabs(i0 - i1) < 1e-9 ? 1 / i0 : std::log(i0 / i1) / (i0 - i1);
    hours += ds * max * per_ma;
    i0 = i1;
  }
  return hours;
}

// The cell's resistance (ohm) from readings since `since` at the present
// load: each reading's voltage above the open-circuit voltage of its charge,
// over the present current (the median of them, so a glitch cannot move it);
// readings from before a change of load would show the old current's drop.
std::optional<double> constant_current_ohms(const std::vector<Reading>& run, double max, const Steady& steady) {
  std::vector<double> drops;
  for (const Reading& r : run)
    if (r.t >= steady.since && r.volts && r.capacity) drops.push_back(*r.volts - open_circuit_volts(*r.capacity / max));
  if (drops.empty()) return std::nullopt;
  double drop = median_of(drops);
  if (drop <= 0) return std::nullopt;
  return drop * 1000 / steady.current;
}

// Constant current: the knee is where the open-circuit voltage plus the drop
// across the cell reaches the charge voltage; the taper follows the cell's curve.
Span to_full_constant_current(double capacity, double max, std::optional<double> ohms, const Steady& steady,
                              const ChargeProfile& p) {
  double share = capacity / max;
  double e = std::min(0.5, steady.spread + kModelSlack);
  if (ohms) {
    // A current that is really lower has a lower drop too: the same
    // resistance, the current scaled, scales the whole charge's time.
    Cell cell{p.charge_millivolts / 1000, *ohms};
    return {charge_hours(share, max, steady.current, cell, p.cutoff_c * max),
            charge_hours(share, max, steady.current * (1 + e), Cell{cell.charge_volts, *ohms / (1 + e)},
                         p.cutoff_c_high * max),
            charge_hours(share, max, steady.current * (1 - e), Cell{cell.charge_volts, *ohms / (1 - e)},
                         p.cutoff_c_low * max)};
  }
  // No voltage: the knee from a phone's usual range, an exponential taper.
  auto hours = [&](double knee, double cutoff_c, double current) {
    double knee_charge = std::max(knee, share) * max;
    return std::max(0.0, knee_charge - capacity) / current +
           taper_hours(max - std::max(capacity, knee_charge), current, cutoff_c * max);
  };
  return {hours(p.knee, p.cutoff_c, steady.current), hours(p.knee_high, p.cutoff_c_high, steady.current * (1 + e)),
          hours(p.knee_low, p.cutoff_c_low, steady.current * (1 - e))};
}

// The taper's cell: the terminal sits at the charge voltage, which the gauge
// reports (the newest readings' median), and the current is what holds it
// there, (Vc − OCV) / R; R is the median over the taper's readings, so the
// present current follows the cell's curve, which a line through the
// readings would not (it steepens towards the top).
constexpr double kHeldVolts = 0.003;
constexpr double kHeldSeconds = 180;

struct Taper {
  Cell cell;
  double current;  // at the present charge
  double spread;   // relative, of the resistance
};

std::optional<Taper> taper_cell(const std::vector<Reading>& run, double capacity, double max) {
  std::vector<double> volts;
  for (auto it = run.rbegin(); it != run.rend() && volts.size() < 5; ++it)
    if (it->volts) volts.push_back(*it->volts);
  if (volts.empty()) return std::nullopt;
  double vc = median_of(volts);
  // The newest readings held at that voltage (a constant current's voltage
  // keeps rising): long enough, or this is not the taper yet.
  std::vector<double> ohms;
  double held_from = run.back().t;
  for (auto it = run.rbegin(); it != run.rend() && it->t >= run.back().t - kTaperWindowSeconds; ++it) {
    if (!it->volts) continue;
    if (std::fabs(*it->volts - vc) > kHeldVolts) break;
    held_from = it->t;
    if (!it->capacity || !it->current || *it->current <= 0) continue;
    double headroom = vc - open_circuit_volts(*it->capacity / max);
    if (headroom > 0) ohms.push_back(headroom * 1000 / *it->current);
  }
  if (ohms.size() < 4 || run.back().t - held_from < kHeldSeconds) return std::nullopt;
  double r = median_of(ohms);
  std::vector<double> deviations;
  for (double o : ohms) deviations.push_back(std::fabs(o - r));
  double spread = 1.2533 * 1.4826 * median_of(deviations) / std::sqrt(static_cast<double>(ohms.size())) / r;
  double headroom = vc - open_circuit_volts(capacity / max);
  if (headroom <= 0) return std::nullopt;
  return Taper{{vc, r}, headroom * 1000 / r, spread};
}

// In the taper: the cell's own constant-voltage phase from the gauge's
// voltage and current; without a voltage, the fit of current against charge
// gives the present current (a glitch cannot move it) and the decay is taken
// as exponential to a phone's usual cut-off.
Span to_full_taper(double capacity, double max, const LineFit& fit, const std::optional<Taper>& taper,
                   const ChargeProfile& p) {
  double share = capacity / max;
  if (taper) {
    double e = std::min(0.5, taper->spread + kModelSlack);
    auto hours = [&](double factor, double cutoff_c) {
      Cell cell{taper->cell.charge_volts, taper->cell.ohms / factor};
      return charge_hours(share, max, taper->current * factor, cell, cutoff_c * max);
    };
    return {hours(1, p.cutoff_c), hours(1 + e, p.cutoff_c_high), hours(1 - e, p.cutoff_c_low)};
  }
  double charge = std::max(0.0, max - capacity);
  double current = fit.intercept + fit.slope * capacity;
  double hours = taper_hours(charge, current, p.cutoff_c * max);
  return {hours, taper_hours(charge, current * (1 + kModelSlack), p.cutoff_c_high * max),
          taper_hours(charge, current * (1 - kModelSlack), p.cutoff_c_low * max)};
}

// Whether the newest readings are in the taper: charged past the lowest knee,
// the current falling with the charge taken in, and still falling lately.
std::optional<LineFit> taper_fit(const std::vector<Reading>& run, double max, const ChargeProfile& p) {
  std::vector<double> charge, current;
  for (const Reading& r : run)
    if (r.t >= run.back().t - kTaperWindowSeconds && r.current && r.capacity) {
      charge.push_back(*r.capacity);
      current.push_back(*r.current);
    }
  // Every pair of points is a slope: a dense run is thinned to the newest
  // kTaperPoints, evenly spaced, which the fit needs no more than.
  if (charge.size() > kTaperPoints) {
    std::vector<double> c, i;
    for (std::size_t k = 0; k < kTaperPoints; ++k) {
      std::size_t at = charge.size() - 1 - (kTaperPoints - 1 - k) * (charge.size() - 1) / (kTaperPoints - 1);
      c.push_back(charge[at]);
      i.push_back(current[at]);
    }
    charge.swap(c);
    current.swap(i);
  }
  const std::size_t n = current.size();
  if (n < 6 || charge.back() < (p.knee_low - 0.05) * max) return std::nullopt;
  // Falling through each third of the window: a step of load in the constant
  // current leaves the newer thirds level with each other.
  auto third = [&](std::size_t k) {
    std::vector<double> part(current.begin() + static_cast<std::ptrdiff_t>(k * n / 3),
                             current.begin() + static_cast<std::ptrdiff_t>((k + 1) * n / 3));
    return median_of(part);
  };
  if (!(third(2) < 0.98 * third(1) && third(1) < 0.98 * third(0))) return std::nullopt;
  LineFit fit = theil_sen(charge, current);
  if (!fit.valid || fit.slope_high >= 0) return std::nullopt;
  return fit;
}

}  // namespace

const char* remaining_status_name(RemainingStatus status) {
  switch (status) {
    case RemainingStatus::ok:
      return "ok";
    case RemainingStatus::calculating:
      return "calculating";
    case RemainingStatus::not_applicable:
      break;
  }
  return "not_applicable";
}

const char* remaining_direction_name(RemainingDirection direction) {
  switch (direction) {
    case RemainingDirection::to_empty:
      return "to_empty";
    case RemainingDirection::to_full:
      return "to_full";
    case RemainingDirection::none:
      break;
  }
  return nullptr;
}

RemainingEstimate estimate_remaining(const std::vector<Sample>& recent, std::int64_t now, const ChargeProfile& p) {
  RemainingEstimate result;
  // The newest sample not after now (a clock set back leaves later ones).
  auto newest = std::find_if(recent.rbegin(), recent.rend(), [&](const Sample& s) { return s.time <= now; });
  if (newest == recent.rend()) return result;
  const Sample& last = *newest;
  if (now - last.time > kRemainingWindowSeconds) return result;  // nothing recent: the state is unknown
  result.direction = direction_of(last);
  if (result.direction == RemainingDirection::none || !last.raw_capacity) return result;
  const bool charging = result.direction == RemainingDirection::to_full;
  if (charging && (!last.max_capacity || *last.max_capacity <= 0)) return result;
  result.status = RemainingStatus::calculating;

  // The run of samples in the present state, oldest first.
  std::vector<Reading> run;
  std::int64_t later = last.time;
  for (auto it = newest; it != recent.rend(); ++it) {
    if (it->time < now - kRemainingWindowSeconds || later - it->time > kMaxGapSeconds) break;
    if (direction_of(*it) != result.direction) break;
    later = it->time;
    Reading r{static_cast<double>(it->time), std::nullopt, std::nullopt, std::nullopt};
    if (it->amperage) r.current = static_cast<double>(charging ? *it->amperage : -*it->amperage);
    if (it->raw_capacity) r.capacity = static_cast<double>(*it->raw_capacity);
    if (it->voltage && *it->voltage > 2500 && *it->voltage < 5000) r.volts = static_cast<double>(*it->voltage) / 1000;
    run.push_back(r);
  }
  std::reverse(run.begin(), run.end());

  std::vector<double> times, currents;
  for (const Reading& r : run)
    if (r.current) times.push_back(r.t), currents.push_back(*r.current);
  std::optional<Steady> steady = steady_current(times, currents);
  if (!steady && currents.size() < 2) {
    // No current from the gauge: the capacity's own pace, when it has moved.
    std::vector<double> t, c;
    for (const Reading& r : run)
      if (r.capacity) t.push_back(r.t), c.push_back(*r.capacity);
    LineFit fit = theil_sen(t, c);
    if (fit.valid && t.back() - t.front() >= 300 && std::fabs(fit.slope) > 0 && (fit.slope > 0) == charging) {
      double pace = std::fabs(fit.slope) * 3600;
      double spread = std::fabs(fit.slope_high - fit.slope_low) / 2 / std::fabs(fit.slope) / 1.96;
      steady = Steady{pace, std::max(spread, kFewReadingsSpread), t.front()};
    }
  }

  const double capacity = static_cast<double>(*last.raw_capacity);
  Span span{};
  if (charging) {
    const double max = static_cast<double>(*last.max_capacity);
    std::optional<LineFit> fit = taper_fit(run, max, p);
    std::optional<Taper> taper = fit ? taper_cell(run, capacity, max) : std::nullopt;
    std::optional<double> ohms = steady ? constant_current_ohms(run, max, *steady) : std::nullopt;
    if (taper) {
      span = to_full_taper(capacity, max, *fit, taper, p);
      result.current_ma = taper->current;
    } else if (fit && !ohms) {  // no voltage to go by
      span = to_full_taper(capacity, max, *fit, std::nullopt, p);
      result.current_ma = fit->intercept + fit->slope * capacity;
    } else if (steady) {
      span = to_full_constant_current(capacity, max, ohms, *steady, p);
      result.current_ma = steady->current;
    } else {
      return result;
    }
  } else {
    if (!steady) return result;
    double share = last.max_capacity && *last.max_capacity > 0 ? capacity / static_cast<double>(*last.max_capacity)
                                                               : last.level.value_or(50) / 100.0;
    span = to_empty(capacity, share, *steady);
    result.current_ma = -steady->current;
  }
  if (!std::isfinite(span.hours) || !std::isfinite(span.low) || !std::isfinite(span.high)) return result;
  // Counted from the newest sample; the time since it has passed already.
  const double since = static_cast<double>(now - last.time);
  auto left = [&](double hours) { return std::max(0.0, hours * 3600 - since); };
  result.status = RemainingStatus::ok;
  result.seconds = left(span.hours);
  result.seconds_low = std::min(result.seconds, left(span.low));
  result.seconds_high = std::max(result.seconds, left(span.high));
  return result;
}

RemainingEstimate read_remaining(HistoryReader& reader, std::int64_t now) {
  if (!reader.is_open() && !reader.open().ok()) return {};
  (void)reader.begin_read();  // a failure shows in reader.status()
  std::vector<Sample> samples = reader.samples(now - kRemainingWindowSeconds, now);
  reader.end_read();
  return estimate_remaining(samples, now);
}

void RecentSamples::add(const Sample& sample) {
  // A clock set back starts the window afresh.
  if (!m_samples.empty() && sample.time < m_samples.back().time) m_samples.clear();
  m_samples.push_back(sample);
  std::int64_t oldest = sample.time - kRemainingWindowSeconds;
  auto keep = std::find_if(m_samples.begin(), m_samples.end(), [&](const Sample& s) { return s.time >= oldest; });
  m_samples.erase(m_samples.begin(), keep);
}

}  // namespace px::history
