// Drawn images as the Settings app publishes them: one PNG file per picture,
// named by its content, old ones removed, nothing written out of the root;
// and a chart's sparkline.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/settings/drawn_images.h"
#include "platform/coregraphics/cg_context.h"
#include "tests/support/temp_device.h"

namespace {

namespace fs = std::filesystem;

std::shared_ptr<px::platform::uikit::UIImage> picture(double red) {
  auto c = px::platform::coregraphics::CGBitmapContextCreate(8, 4);
  px::platform::coregraphics::CGContextSetRGBFillColor(c, red, 0, 0, 1);
  px::platform::coregraphics::CGContextFillRect(c, 0, 0, 8, 4);
  return px::platform::uikit::UIImage::imageWithCGImage(px::platform::coregraphics::CGBitmapContextCreateImage(c), 2);
}

class DrawnImagesTest : public ::testing::Test {
 protected:
  std::size_t files() {
    std::size_t n = 0;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(m_device.path(px::host::settings::kDrawnImageFolder), ec))
      n += e.is_regular_file();
    return n;
  }
  px::tests::support::TempDevice m_device;
  px::host::settings::DrawnImages m_images;
};

TEST_F(DrawnImagesTest, SamePictureSameFileAndOldOnesGoAfterTwoRenders) {
  auto first = m_images.publish(*picture(1));
  EXPECT_EQ(first["kind"], "drawn");
  EXPECT_EQ(first["width"], 4);
  EXPECT_EQ(first["scale"], 2);
  std::string path = first["png_path"];
  EXPECT_EQ(path.rfind("/var/run/Preferences/images/", 0), 0u);
  EXPECT_EQ(m_device.read_text(path).substr(1, 3), "PNG");
  EXPECT_EQ(m_images.publish(*picture(1))["png_path"], path);
  m_images.end_render();
  std::string other = m_images.publish(*picture(0.5))["png_path"];
  EXPECT_NE(other, path);
  m_images.end_render();
  EXPECT_EQ(files(), 2u) << "the last render's picture stays while a page may fetch it";
  m_images.publish(*picture(0.5));
  m_images.end_render();
  EXPECT_FALSE(m_device.exists(path));
  EXPECT_TRUE(m_device.exists(other));
}

// A link's target is a device path, taken inside the root, as the device takes it.
TEST_F(DrawnImagesTest, ALinkPointingOutOfTheRootNeitherWritesNorEmptiesTheOutside) {
  fs::path outside = fs::path(m_device.root()).parent_path() / (fs::path(m_device.root()).filename().string() + "-out");
  fs::create_directories(outside);
  std::ofstream(outside / "keep.png") << "x";
  fs::create_directories(m_device.path("/var/run/Preferences"));
  fs::create_directory_symlink(outside, m_device.path(px::host::settings::kDrawnImageFolder));
  auto j = m_images.publish(*picture(1));
  if (j.contains("png_path")) {
    EXPECT_TRUE(m_device.exists(j["png_path"].get<std::string>()));
  }
  m_images.end_render();
  m_images.end_render();
  EXPECT_TRUE(fs::exists(outside / "keep.png"));
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);
  fs::remove_all(outside);
}

TEST(Sparkline, ScalesBetweenTheAxisEndsAndMarksGapsAndTheForecast) {
  px::platform::uikit::AXChartDescriptor chart;
  chart.y_min = 0;
  chart.y_max = 100;
  chart.series = {{"measured", {0.0, 100.0, std::nullopt, 50.0, std::nullopt, std::nullopt}},
                  {"forecast", {std::nullopt, std::nullopt, std::nullopt, 50.0, 40.0, 20.0}}};
  EXPECT_EQ(px::host::settings::sparkline(chart), "▁█ ▅┆▄▂");
  chart.series = {{"measured", {std::nullopt, std::nullopt}}};
  EXPECT_EQ(px::host::settings::sparkline(chart), "") << "nothing measured: no line of blanks";
  chart.series = {{"measured", {1e9, -1e9}}};
  EXPECT_EQ(px::host::settings::sparkline(chart), "█▁");
  auto j = px::host::settings::chart_json(chart);
  EXPECT_EQ(j["series"][0]["values"].size(), 2u);
}

}  // namespace
