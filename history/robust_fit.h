#pragma once
// Theil–Sen line fitting: the median of every pairwise slope, which a few
// wild points cannot drag, with Sen's rank-based confidence interval.

#include <vector>

namespace px::history {

struct LineFit {
  bool valid = false;
  double slope = 0, intercept = 0;
  double slope_low = 0, slope_high = 0;  // ~95 % interval of the slope
  double mean_abs_residual = 0;
};

// Without `with_interval` the slope's interval is left at the slope: the
// median alone is found in linear time, which is what a search over many
// candidate fits needs.
LineFit theil_sen(const std::vector<double>& x, const std::vector<double>& y, bool with_interval = true);

}  // namespace px::history
