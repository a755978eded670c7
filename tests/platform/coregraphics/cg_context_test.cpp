// The CoreGraphics stand-in: what a chart relies on lands on the right pixels,
// a taken image stays as it was, and bad arguments never break the context.
// Text is checked by its measured width only, never by its pixels.

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/coregraphics/cg_context.h"
#include "platform/foundation/file_io.h"
#include "platform/sim/atomic_write.h"
#include "platform/uikit/ui_image.h"
#include "tests/support/temp_device.h"

namespace {

using namespace px::platform::coregraphics;

constexpr CGPixel kClear{};
constexpr CGPixel kRed{255, 0, 0, 255};

CGContextRef red_pen(std::size_t w, std::size_t h, double width = 2) {
  auto c = CGBitmapContextCreate(w, h);
  CGContextSetRGBStrokeColor(c, 1, 0, 0, 1);
  CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  CGContextSetLineWidth(c, width);
  return c;
}

void horizontal_line(const CGContextRef& c, double y, double x0, double x1) {
  CGContextMoveToPoint(c, x0, y);
  CGContextAddLineToPoint(c, x1, y);
  CGContextStrokePath(c);
}

TEST(BitmapContext, SizesOutsideTheLimitsGiveNoContextAndNullIsHarmless) {
  EXPECT_EQ(CGBitmapContextCreate(0, 10), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(10, kMaxBitmapSide + 1), nullptr);
  CGContextRef none;
  CGContextMoveToPoint(none, 1, 1);
  CGContextStrokePath(none);
  CGContextShowTextAtPoint(none, 1, 1, "x");
  EXPECT_EQ(CGBitmapContextCreateImage(none), nullptr);
  EXPECT_EQ(CGContextGetTextWidth(none, "x"), 0);
  auto c = CGBitmapContextCreate(kMaxBitmapSide, 1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(CGBitmapContextGetWidth(c), kMaxBitmapSide);
}

TEST(BitmapContext, OriginIsTopLeftAndStrokesLandOnTheirRows) {
  auto c = red_pen(20, 20);
  horizontal_line(c, 4, 0, 20);  // two points wide: rows 3 and 4
  auto image = CGBitmapContextCreateImage(c);
  EXPECT_EQ(image->pixel(10, 3), kRed);
  EXPECT_EQ(image->pixel(10, 4), kRed);
  EXPECT_EQ(image->pixel(10, 5), kClear);
  EXPECT_EQ(image->pixel(10, 15), kClear);
  EXPECT_EQ(image->pixel(99, 99), kClear) << "outside the image";
}

TEST(BitmapContext, FillKeepsStraightColourUnderPartialAlpha) {
  auto c = CGBitmapContextCreate(4, 4);
  CGContextSetRGBFillColor(c, 0, 0.5, 1, 0.5);
  CGContextFillRect(c, 0, 0, 4, 4);
  CGPixel p = CGBitmapContextCreateImage(c)->pixel(1, 1);
  EXPECT_NEAR(p.alpha, 128, 1);
  EXPECT_NEAR(p.green, 128, 2);
  EXPECT_NEAR(p.blue, 255, 2);
  EXPECT_EQ(p.red, 0);
}

TEST(BitmapContext, FillRectLeavesThePathBeingBuilt) {
  auto c = red_pen(20, 20);
  CGContextMoveToPoint(c, 0, 15);
  CGContextAddLineToPoint(c, 20, 15);
  CGContextSetRGBFillColor(c, 0, 0, 1, 1);
  CGContextFillRect(c, 0, 0, 5, 5);
  CGContextStrokePath(c);
  auto image = CGBitmapContextCreateImage(c);
  EXPECT_EQ(image->pixel(10, 14), kRed);
  EXPECT_EQ(image->pixel(2, 2), (CGPixel{0, 0, 255, 255}));
}

TEST(BitmapContext, PathsFillClosedShapes) {
  auto c = red_pen(20, 20);
  CGContextMoveToPoint(c, 0, 0);
  CGContextAddLineToPoint(c, 20, 0);
  CGContextAddLineToPoint(c, 0, 20);
  CGContextClosePath(c);
  CGContextFillPath(c);
  auto image = CGBitmapContextCreateImage(c);
  EXPECT_EQ(image->pixel(2, 2), kRed);
  EXPECT_EQ(image->pixel(17, 17), kClear);
}

TEST(LineDash, GapsStayEmptyUntilTheDashIsCleared) {
  auto c = red_pen(40, 10);
  std::array<double, 2> dash{4, 4};
  CGContextSetLineDash(c, 0, dash);
  horizontal_line(c, 2, 0, 40);
  CGContextSetLineDash(c, 0, {});
  horizontal_line(c, 7, 0, 40);
  auto image = CGBitmapContextCreateImage(c);
  EXPECT_EQ(image->pixel(1, 1), kRed);
  EXPECT_EQ(image->pixel(5, 1), kClear);
  EXPECT_EQ(image->pixel(9, 1), kRed);
  for (std::size_t x : {1u, 5u, 9u}) EXPECT_EQ(image->pixel(x, 6), kRed) << x;
}

TEST(LineDash, InvalidPatternsAreRefusedAndTheContextKeepsWorking) {
  auto c = red_pen(20, 4);
  std::array<double, 2> zeros{0, 0};
  std::array<double, 2> negative{4, -1};
  std::array<double, 1> not_a_number{std::nan("")};
  CGContextSetLineDash(c, 0, zeros);
  CGContextSetLineDash(c, 0, negative);
  CGContextSetLineDash(c, 0, not_a_number);
  CGContextScaleCTM(c, 0, 1);  // singular: ignored
  horizontal_line(c, 2, 0, 20);
  auto image = CGBitmapContextCreateImage(c);
  for (std::size_t x : {1u, 5u, 9u, 15u}) EXPECT_EQ(image->pixel(x, 1), kRed) << x;
}

TEST(GraphicsState, ScaleAndRestoreApplyToLaterDrawing) {
  auto c = red_pen(20, 20);
  CGContextSaveGState(c);
  CGContextScaleCTM(c, 2, 2);
  CGContextSetRGBFillColor(c, 0, 0, 1, 1);
  CGContextFillRect(c, 0, 0, 5, 5);  // pixels 0..9
  CGContextRestoreGState(c);
  CGContextRestoreGState(c);           // unbalanced: ignored
  CGContextFillRect(c, 15, 15, 5, 5);  // red again, unscaled
  auto image = CGBitmapContextCreateImage(c);
  EXPECT_EQ(image->pixel(9, 9), (CGPixel{0, 0, 255, 255}));
  EXPECT_EQ(image->pixel(10, 10), kClear);
  EXPECT_EQ(image->pixel(16, 16), kRed);
}

TEST(TakenImage, StaysAsItWasWhenDrawingGoesOn) {
  auto c = red_pen(8, 8);
  auto before = CGBitmapContextCreateImage(c);
  CGContextFillRect(c, 0, 0, 8, 8);
  EXPECT_EQ(before->pixel(3, 3), kClear);
  EXPECT_EQ(CGBitmapContextCreateImage(c)->pixel(3, 3), kRed);
}

TEST(Text, WidthGrowsWithTheTextAndInvalidUtf8IsNotDrawn) {
  auto c = red_pen(200, 40);
  CGContextSelectFont(c, "Helvetica", 10);
  double one = CGContextGetTextWidth(c, "8");
  double four = CGContextGetTextWidth(c, "8888");
  EXPECT_GT(one, 0);
  EXPECT_NEAR(four, 4 * one, 0.5);
  CGContextSelectFont(c, "Helvetica", 20);
  EXPECT_GT(CGContextGetTextWidth(c, "8888"), 1.5 * four) << "hinting rounds advances: no exact ratio";
  EXPECT_EQ(CGContextGetTextWidth(c, "\xff\xfe"), 0);
  EXPECT_EQ(CGContextGetTextWidth(c, "\xe2\x82"), 0) << "truncated sequence";
  CGContextShowTextAtPoint(c, 5, 30, "a\xc0\xafz");  // overlong: refused
  CGContextShowTextAtPoint(c, 5, 30, "100 %");
  EXPECT_GT(CGContextGetTextWidth(c, "80 % · 2028"), 0) << "the context survived";
  CGContextFillRect(c, 0, 0, 2, 2);
  EXPECT_EQ(CGBitmapContextCreateImage(c)->pixel(1, 1), kRed);
}

class DrawnImage : public ::testing::Test {
 protected:
  px::tests::support::TempDevice m_device;
};

TEST_F(DrawnImage, EncodesAsPngOfItsPixelSizeAndReportsPointsByScale) {
  auto c = red_pen(60, 30);
  CGContextFillRect(c, 0, 0, 10, 10);
  auto image = px::platform::uikit::UIImage::imageWithCGImage(CGBitmapContextCreateImage(c), 2);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 30);
  EXPECT_EQ(image->height(), 15);
  EXPECT_TRUE(image->file_name().empty());
  auto png = px::platform::uikit::UIImagePNGRepresentation(image);
  ASSERT_TRUE(png);
  ASSERT_TRUE(px::platform::sim::write_file_atomically(m_device.path("/var/mobile/chart.png"), *png));
  auto back = px::platform::uikit::UIImage::imageWithContentsOfFile("/var/mobile/chart.png");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->width(), 60);
  EXPECT_EQ(back->height(), 30);
  EXPECT_EQ(px::platform::uikit::UIImagePNGRepresentation(back), png) << "a file image is its file";
  EXPECT_EQ(px::platform::uikit::UIImage::imageWithCGImage(nullptr), nullptr);
  EXPECT_EQ(px::platform::uikit::UIImage::imageWithCGImage(CGBitmapContextCreateImage(c), 0), nullptr);
}

}  // namespace
