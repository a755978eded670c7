#pragma once
// Images the panes draw, as the Settings app's screen shows them: each one
// written as a PNG file under /var/run/Preferences/images/ (named by its
// content, so a changed chart gets a new name and an unchanged one keeps its
// file), and a chart's data as a one-line sparkline for the text screen.

#include <cstddef>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/uikit/ax_chart_descriptor.h"
#include "platform/uikit/ui_image.h"

namespace px::host::settings {

inline constexpr const char* kDrawnImageFolder = "/var/run/Preferences/images";

class DrawnImages {
 public:
  // {"kind": "drawn", "png_path": DEVICE PATH, "width", "height" (points), "scale"};
  // without "png_path" when the file could not be written.
  nlohmann::json publish(const platform::uikit::UIImage& image);
  // Removes the files of images no longer shown: those published neither
  // since the last call nor in the render before it (a page may still be
  // fetching one of those).
  void end_render();

 private:
  std::set<std::string> m_this_render, m_last_render;
};

// The chart's measured series as block characters, one per value, scaled
// between the chart's y_min and y_max (a space where nothing was measured).
std::string sparkline(const platform::uikit::AXChartDescriptor& chart);
// {"title", "summary", "y_min", "y_max", "sparkline", "series": [{"name", "values": [number|null]}]}
nlohmann::json chart_json(const platform::uikit::AXChartDescriptor& chart);

}  // namespace px::host::settings
