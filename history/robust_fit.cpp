#include "history/robust_fit.h"

#include <algorithm>
#include <cmath>

#include "history/health.h"

namespace px::history {

LineFit theil_sen(const std::vector<double>& x, const std::vector<double>& y, bool with_interval) {
  LineFit fit;
  const std::size_t n = std::min(x.size(), y.size());
  if (n < 3) return fit;
  std::vector<double> slopes;
  slopes.reserve(n * (n - 1) / 2);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      double dx = x[j] - x[i];
      if (std::fabs(dx) > 1e-12) slopes.push_back((y[j] - y[i]) / dx);
    }
  if (slopes.size() < 3) return fit;
  const double m = static_cast<double>(slopes.size());
  const double nn = static_cast<double>(n);
  fit.slope = median_of(slopes);
  fit.slope_low = fit.slope_high = fit.slope;
  if (with_interval) {
    // Sen (1968): the interval's ends are the slopes ranked (M ∓ C)/2, C from
    // the variance of Kendall's S under independence.
    double c = 1.96 * std::sqrt(nn * (nn - 1) * (2 * nn + 5) / 18.0);
    auto rank = [&](double r) { return slopes.begin() + static_cast<std::ptrdiff_t>(std::clamp(r, 0.0, m - 1)); };
    auto lo = rank(std::floor((m - c) / 2)), hi = rank(std::ceil((m + c) / 2));
    std::nth_element(slopes.begin(), lo, slopes.end());
    fit.slope_low = *lo;
    std::nth_element(lo, hi, slopes.end());
    fit.slope_high = *hi;
  }

  std::vector<double> offsets(n);
  for (std::size_t i = 0; i < n; ++i) offsets[i] = y[i] - fit.slope * x[i];
  fit.intercept = median_of(offsets);
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += std::fabs(y[i] - (fit.intercept + fit.slope * x[i]));
  fit.mean_abs_residual = sum / nn;
  fit.valid = true;
  return fit;
}

}  // namespace px::history
