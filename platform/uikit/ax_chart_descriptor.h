#pragma once
// AXChartDescriptor: what a drawn chart shows, as data, for those who cannot
// see its pixels (VoiceOver's audio graphs on the device; the Settings app's
// text screen here). A view showing a chart carries one.

#include <optional>
#include <string>
#include <vector>

namespace px::platform::uikit {

struct AXDataSeriesDescriptor {
  std::string name;
  // One value per step of the x axis, evenly spaced; none where nothing was measured.
  std::vector<std::optional<double>> values;
};

struct AXChartDescriptor {
  std::string title;
  std::string summary;  // the chart's finding in words ("96.1 % → 91.4 %")
  double y_min = 0, y_max = 1;
  std::vector<AXDataSeriesDescriptor> series;
};

}  // namespace px::platform::uikit
