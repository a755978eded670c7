#pragma once
// A line chart drawn by the bundle through CoreGraphics: measured lines, an
// optional dashed forecast and a horizontal guide, with axis labels. The same
// data becomes the image's accessibility chart descriptor, so what is drawn
// and what is read out never disagree.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/uikit/ax_chart_descriptor.h"
#include "platform/uikit/ui_image.h"

namespace px::prefs {

struct ChartPoint {
  double x = 0, y = 0;
};

struct ChartAxis {
  double min = 0, max = 1;
  std::vector<std::pair<double, std::string>> labels;  // value, text
};

struct ChartData {
  std::string title;
  ChartAxis x, y;
  std::vector<std::vector<ChartPoint>> lines;  // each an unbroken run, by x
  std::vector<ChartPoint> forecast;            // drawn dashed
  std::optional<double> guide;                 // a horizontal line (80 %)
  std::string empty_text;                      // said when there are no lines
  std::string summary;                         // the finding in words
  bool fill_under = false;                     // shade below the lines
};

// Chart size in points, drawn at twice the pixels, as on a Retina screen.
inline constexpr double kChartWidth = 300, kChartHeight = 140, kChartScale = 2;

// The chart as an image of kChartWidth × kChartHeight points; nil when the
// bitmap cannot be had.
std::shared_ptr<platform::uikit::UIImage> draw_chart(const ChartData& chart);

// The same data as evenly spaced values: the measured lines in `steps`
// buckets over the x axis (the mean of each; none where nothing was
// measured), and the forecast, when there is one, as a second series.
std::shared_ptr<const platform::uikit::AXChartDescriptor> chart_descriptor(const ChartData& chart, std::size_t steps);

}  // namespace px::prefs
