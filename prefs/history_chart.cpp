#include "prefs/history_chart.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/coregraphics/cg_context.h"

namespace px::prefs {
namespace {

using namespace platform::coregraphics;

// The plot area inside the chart, in points: room for y labels on the left
// and x labels below.
constexpr double kLeft = 36, kRight = 10, kTop = 8, kBottom = 20;
constexpr double kLabelSize = 9;

struct Plot {
  const ChartData& chart;
  double px(double x) const {
    double span = chart.x.max - chart.x.min;
    return kLeft + (span > 0 ? (x - chart.x.min) / span : 0.5) * (kChartWidth - kLeft - kRight);
  }
  double py(double y) const {
    double span = chart.y.max - chart.y.min;
    double t = span > 0 ? (y - chart.y.min) / span : 0.5;
    return kTop + (1 - std::clamp(t, -0.05, 1.05)) * (kChartHeight - kTop - kBottom);
  }
};

void grid_and_labels(const CGContextRef& c, const Plot& p) {
  const ChartData& chart = p.chart;
  CGContextSetLineWidth(c, 0.5);
  CGContextSetRGBStrokeColor(c, 0.82, 0.82, 0.84, 1);
  CGContextSetRGBFillColor(c, 0.45, 0.45, 0.47, 1);
  CGContextSelectFont(c, "Helvetica", kLabelSize);
  for (auto& [value, text] : chart.y.labels) {
    double y = p.py(value);
    CGContextMoveToPoint(c, kLeft, y);
    CGContextAddLineToPoint(c, kChartWidth - kRight, y);
    CGContextStrokePath(c);
    CGContextShowTextAtPoint(c, kLeft - 4 - CGContextGetTextWidth(c, text), y + kLabelSize / 3, text);
  }
  double base = kChartHeight - kBottom;
  for (std::size_t i = 0; i < chart.x.labels.size(); ++i) {
    auto& [value, text] = chart.x.labels[i];
    double x = p.px(value), w = CGContextGetTextWidth(c, text);
    // The first label starts at its mark, the last ends at it, the others centre on it.
    double left = i == 0 ? x : i + 1 == chart.x.labels.size() ? x - w : x - w / 2;
    left = std::clamp(left, 0.0, kChartWidth - w);
    CGContextShowTextAtPoint(c, left, base + 4 + kLabelSize, text);
  }
  CGContextSetRGBStrokeColor(c, 0.6, 0.6, 0.62, 1);
  CGContextMoveToPoint(c, kLeft, base);
  CGContextAddLineToPoint(c, kChartWidth - kRight, base);
  CGContextStrokePath(c);
}

void polyline(const CGContextRef& c, const Plot& p, const std::vector<ChartPoint>& points) {
  CGContextBeginPath(c);
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i == 0)
      CGContextMoveToPoint(c, p.px(points[i].x), p.py(points[i].y));
    else
      CGContextAddLineToPoint(c, p.px(points[i].x), p.py(points[i].y));
  }
  // A lone reading is a short tick, not nothing.
  if (points.size() == 1) CGContextAddLineToPoint(c, p.px(points[0].x) + 1.5, p.py(points[0].y));
}

void measured(const CGContextRef& c, const Plot& p) {
  for (auto& run : p.chart.lines) {
    if (run.empty()) continue;
    if (p.chart.fill_under && run.size() > 1) {
      polyline(c, p, run);
      CGContextAddLineToPoint(c, p.px(run.back().x), p.py(p.chart.y.min));
      CGContextAddLineToPoint(c, p.px(run.front().x), p.py(p.chart.y.min));
      CGContextClosePath(c);
      CGContextSetRGBFillColor(c, 0.30, 0.78, 0.40, 0.25);
      CGContextFillPath(c);
    }
    polyline(c, p, run);
    CGContextSetLineWidth(c, 1.5);
    CGContextSetRGBStrokeColor(c, 0.0, 0.48, 1.0, 1);
    if (p.chart.fill_under) CGContextSetRGBStrokeColor(c, 0.20, 0.66, 0.30, 1);
    CGContextStrokePath(c);
  }
}

}  // namespace

std::shared_ptr<platform::uikit::UIImage> draw_chart(const ChartData& chart) {
  auto c = CGBitmapContextCreate(static_cast<std::size_t>(kChartWidth * kChartScale),
                                 static_cast<std::size_t>(kChartHeight * kChartScale));
  if (!c) return nullptr;
  CGContextScaleCTM(c, kChartScale, kChartScale);
  CGContextSetRGBFillColor(c, 1, 1, 1, 1);
  CGContextFillRect(c, 0, 0, kChartWidth, kChartHeight);
  Plot p{chart};
  grid_and_labels(c, p);
  if (chart.guide) {
    CGContextSetLineWidth(c, 1);
    CGContextSetRGBStrokeColor(c, 0.90, 0.30, 0.25, 0.8);
    CGContextMoveToPoint(c, kLeft, p.py(*chart.guide));
    CGContextAddLineToPoint(c, kChartWidth - kRight, p.py(*chart.guide));
    CGContextStrokePath(c);
  }
  measured(c, p);
  if (chart.forecast.size() > 1) {
    static constexpr std::array<double, 2> kDash{4, 3};
    CGContextSaveGState(c);
    CGContextSetLineDash(c, 0, kDash);
    CGContextSetLineWidth(c, 1.5);
    CGContextSetRGBStrokeColor(c, 0.0, 0.48, 1.0, 0.8);
    polyline(c, p, chart.forecast);
    CGContextStrokePath(c);
    CGContextRestoreGState(c);
  }
  bool any = std::any_of(chart.lines.begin(), chart.lines.end(), [](auto& run) { return !run.empty(); });
  if (!any && !chart.empty_text.empty()) {
    CGContextSelectFont(c, "Helvetica", 12);
    CGContextSetRGBFillColor(c, 0.45, 0.45, 0.47, 1);
    double w = CGContextGetTextWidth(c, chart.empty_text);
    CGContextShowTextAtPoint(c, (kChartWidth - w) / 2, (kChartHeight - kBottom) / 2 + 4, chart.empty_text);
  }
  return platform::uikit::UIImage::imageWithCGImage(CGBitmapContextCreateImage(c), kChartScale);
}

std::shared_ptr<const platform::uikit::AXChartDescriptor> chart_descriptor(const ChartData& chart, std::size_t steps) {
  auto d = std::make_shared<platform::uikit::AXChartDescriptor>();
  d->title = chart.title;
  d->summary = chart.summary;
  d->y_min = chart.y.min;
  d->y_max = chart.y.max;
  steps = std::max<std::size_t>(steps, 1);
  double span = chart.x.max - chart.x.min;
  auto bucket_of = [&](double x) {
    if (span <= 0) return std::size_t{0};
    double t = (x - chart.x.min) / span;
    return std::min(steps - 1, static_cast<std::size_t>(std::max(0.0, t * static_cast<double>(steps))));
  };
  auto series = [&](std::string name, auto&& each_point) {
    std::vector<double> sum(steps, 0);
    std::vector<int> count(steps, 0);
    each_point([&](const ChartPoint& pt) {
      if (pt.x < chart.x.min || pt.x > chart.x.max) return;
      auto b = bucket_of(pt.x);
      sum[b] += pt.y;
      ++count[b];
    });
    platform::uikit::AXDataSeriesDescriptor s{std::move(name), {}};
    for (std::size_t i = 0; i < steps; ++i)
      s.values.push_back(count[i] ? std::optional<double>(sum[i] / count[i]) : std::nullopt);
    return s;
  };
  // A line passes through the buckets between its points: they take the
  // value the line has there, as drawn, besides the points in them.
  auto along = [&](const std::vector<ChartPoint>& line, auto&& add) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      add(line[i]);
      if (i + 1 == line.size()) break;
      const ChartPoint &a = line[i], &b = line[i + 1];
      for (std::size_t k = bucket_of(a.x) + 1; k < bucket_of(b.x); ++k) {
        double x = chart.x.min + (static_cast<double>(k) + 0.5) / static_cast<double>(steps) * span;
        double t = b.x > a.x ? (x - a.x) / (b.x - a.x) : 1;
        add(ChartPoint{x, a.y + t * (b.y - a.y)});
      }
    }
  };
  d->series.push_back(series("measured", [&](auto&& add) {
    for (auto& run : chart.lines) along(run, add);
  }));
  if (chart.forecast.size() > 1)
    d->series.push_back(series("forecast", [&](auto&& add) { along(chart.forecast, add); }));
  return d;
}

}  // namespace px::prefs
