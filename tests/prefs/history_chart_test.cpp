// The History pane's charts: lines land where their values say, the forecast
// is dashed, and the descriptor read out carries the same data. Pixels are
// checked only where no text is drawn.

#include <gtest/gtest.h>

#include "platform/coregraphics/cg_image.h"
#include "prefs/history_chart.h"

namespace {

using px::prefs::ChartData;
using px::prefs::ChartPoint;

ChartData flat_chart() {
  ChartData c;
  c.title = "Battery level";
  c.x = {0, 100, {{0, "start"}, {100, "end"}}};
  c.y = {0, 100, {{0, "0"}, {100, "100 %"}}};
  c.lines = {{{0, 50}, {40, 50}}, {{60, 50}, {100, 50}}};  // a gap from 40 to 60
  return c;
}

// The pixel column of x and row of y in the plot (the drawing's own mapping:
// left 36, right 10, top 8, bottom 20 points, at scale 2).
std::size_t column(double x) { return static_cast<std::size_t>((36 + x / 100 * (300 - 46)) * 2); }
std::size_t row(double y) { return static_cast<std::size_t>((8 + (1 - y / 100) * (140 - 28)) * 2); }

bool blueish(px::platform::coregraphics::CGPixel p) { return p.blue > 200 && p.red < 120; }
bool white(px::platform::coregraphics::CGPixel p) { return p.red > 240 && p.green > 240 && p.blue > 240; }

TEST(HistoryChart, DrawsRunsWhereTheirValuesSayAndLeavesGapsEmpty) {
  auto image = px::prefs::draw_chart(flat_chart());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), px::prefs::kChartWidth);
  EXPECT_EQ(image->height(), px::prefs::kChartHeight);
  const auto& px = image->CGImage();
  EXPECT_TRUE(blueish(px->pixel(column(20), row(50))));
  EXPECT_TRUE(blueish(px->pixel(column(80), row(50))));
  EXPECT_TRUE(white(px->pixel(column(50), row(50)))) << "no line across the gap";
  EXPECT_TRUE(white(px->pixel(column(20), row(75))));
}

TEST(HistoryChart, ForecastIsDashedAndTheGuideIsDrawn) {
  ChartData c = flat_chart();
  c.lines = {{{0, 90}, {50, 90}}};
  c.forecast = {{50, 90}, {100, 90}};
  c.guide = 20;
  auto image = px::prefs::draw_chart(c);
  const auto& px = image->CGImage();
  int inked = 0, gaps = 0;
  for (double x = 55; x < 95; x += 0.25) (blueish(px->pixel(column(x), row(90))) ? inked : gaps)++;
  EXPECT_GT(inked, 10);
  EXPECT_GT(gaps, 10) << "dashed, not solid";
  auto guide = px->pixel(column(50), row(20));
  EXPECT_GT(guide.red, 200);
  EXPECT_LT(guide.green, 150);
}

TEST(HistoryChart, ValuesOutsideTheAxisAndNoDataStillDraw) {
  ChartData c = flat_chart();
  c.lines = {{{0, 1e9}, {100, -1e9}}, {}};
  EXPECT_NE(px::prefs::draw_chart(c), nullptr);
  c.lines.clear();
  c.empty_text = "Not enough history yet";
  c.x = {5, 5, {}};  // a span of nothing
  EXPECT_NE(px::prefs::draw_chart(c), nullptr);
}

TEST(HistoryChartDescriptor, BucketsTheSameDataAndFillsTheForecastBetweenItsEnds) {
  ChartData c = flat_chart();
  c.lines = {{{0, 10}, {10, 30}}, {{95, 80}}};  // two runs: nothing between them
  c.forecast = {{95, 80}, {100, 70}};
  auto d = px::prefs::chart_descriptor(c, 10);
  ASSERT_EQ(d->series.size(), 2u);
  const auto& measured = d->series[0].values;
  ASSERT_EQ(measured.size(), 10u);
  EXPECT_EQ(measured[0], 10.0);
  EXPECT_EQ(measured[1], 30.0);
  EXPECT_FALSE(measured[5]) << "nothing measured there";
  EXPECT_EQ(measured[9], 80.0);
  const auto& forecast = d->series[1].values;
  EXPECT_FALSE(forecast[8]);
  ASSERT_TRUE(forecast[9]);
  EXPECT_NEAR(*forecast[9], 75, 5);
  EXPECT_EQ(d->title, "Battery level");
  c.lines = {{{0, 0}, {100, 100}}};  // one run: the buckets it crosses take its value there
  auto line = px::prefs::chart_descriptor(c, 10)->series[0].values;
  ASSERT_TRUE(line[5]);
  EXPECT_NEAR(*line[5], 55, 1e-9);
  EXPECT_EQ(d->y_max, 100);
}

}  // namespace
