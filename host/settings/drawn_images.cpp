#include "host/settings/drawn_images.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/device_paths.h"

namespace px::host::settings {
namespace {

// FNV-1a: a stable name for the same bytes in every run (std::hash promises none).
std::string content_name(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.png", static_cast<unsigned long long>(h));
  return name;
}

// The images folder, made when missing; nothing when it (or a folder above it)
// leads out of the device root, where nothing may be written or removed.
std::optional<std::filesystem::path> images_folder() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path folder = platform::sim::DevicePath(kDrawnImageFolder).host();
  fs::create_directories(folder, ec);
  fs::path real = fs::canonical(folder, ec);
  fs::path root = fs::canonical(platform::sim::device_root(), ec);
  if (ec || fs::symlink_status(folder, ec).type() != fs::file_type::directory) return std::nullopt;
  auto [r, f] = std::mismatch(root.begin(), root.end(), real.begin(), real.end());
  if (r != root.end()) return std::nullopt;
  return real;
}

}  // namespace

nlohmann::json DrawnImages::publish(const platform::uikit::UIImage& image) {
  nlohmann::json j = {
      {"kind", "drawn"}, {"width", image.width()}, {"height", image.height()}, {"scale", image.scale()}};
  auto png = image.CGImage() ? image.CGImage()->png_data() : std::nullopt;
  if (!png) return j;
  auto folder = images_folder();
  if (!folder) return j;
  std::string name = content_name(*png);
  std::string device_file = std::string(kDrawnImageFolder) + "/" + name;
  std::string host_file = (*folder / name).string();
  std::error_code ec;
  if (!std::filesystem::exists(host_file, ec)) {
    if (!platform::sim::write_file_atomically(host_file, *png)) {
      platform::foundation::log_line("Preferences: could not write " + device_file);
      return j;
    }
  }
  m_this_render.insert(device_file);
  j["png_path"] = device_file;
  return j;
}

void DrawnImages::end_render() {
  std::set<std::string> keep = m_this_render;
  keep.insert(m_last_render.begin(), m_last_render.end());
  std::error_code ec;
  auto folder = images_folder();
  if (!folder) return;
  for (auto& entry : std::filesystem::directory_iterator(*folder, ec)) {
    std::string device_file = std::string(kDrawnImageFolder) + "/" + entry.path().filename().string();
    if (!keep.count(device_file) && entry.path().extension() == ".png") std::filesystem::remove(entry.path(), ec);
  }
  m_last_render = std::move(m_this_render);
  m_this_render.clear();
}

std::string sparkline(const platform::uikit::AXChartDescriptor& chart) {
  static const char* const kBlocks[] = {"▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
  std::string out;
  if (chart.series.empty()) return out;
  const auto& measured = chart.series.front().values;
  if (std::none_of(measured.begin(), measured.end(), [](auto& v) { return v.has_value(); })) return out;
  double span = chart.y_max - chart.y_min;
  auto block = [&](double v) {
    double t = span > 0 ? (v - chart.y_min) / span : 0.5;
    return kBlocks[static_cast<int>(std::lround(std::clamp(t, 0.0, 1.0) * 7))];
  };
  // A later series (the forecast) shows where nothing was measured, after a ┆.
  bool projected = false;
  for (std::size_t i = 0; i < measured.size(); ++i) {
    std::optional<double> v = measured[i];
    if (!v && chart.series.size() > 1 && i < chart.series[1].values.size() && chart.series[1].values[i]) {
      if (!projected) out += "┆";
      projected = true;
      out += block(*chart.series[1].values[i]);
      continue;
    }
    out += v && std::isfinite(*v) ? block(*v) : " ";
  }
  return out;
}

nlohmann::json chart_json(const platform::uikit::AXChartDescriptor& chart) {
  nlohmann::json series = nlohmann::json::array();
  for (const auto& s : chart.series) {
    nlohmann::json values = nlohmann::json::array();
    for (const auto& v : s.values) values.push_back(v && std::isfinite(*v) ? nlohmann::json(*v) : nlohmann::json());
    series.push_back({{"name", s.name}, {"values", values}});
  }
  return {{"title", chart.title}, {"summary", chart.summary},      {"y_min", chart.y_min},
          {"y_max", chart.y_max}, {"sparkline", sparkline(chart)}, {"series", series}};
}

}  // namespace px::host::settings
