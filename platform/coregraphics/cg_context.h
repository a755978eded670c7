#pragma once
// The drawing calls of CoreGraphics the bundle uses, over a cairo image
// surface: a bitmap context, paths (move, line, rectangle, close), stroke and
// fill, colours, line width and dash, the current transform, saved states, and
// short text for axis labels.
//
// The origin is the top-left corner and y grows downwards, as in a context
// UIKit makes for drawing an image. A call on a null context does nothing and
// a query on one answers 0, as CoreGraphics does with NULL.

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "platform/coregraphics/cg_image.h"

namespace px::platform::coregraphics {

struct CGPoint {
  double x = 0, y = 0;
};

class CGContext;
using CGContextRef = std::shared_ptr<CGContext>;

// The largest side a bitmap context may have, in pixels.
inline constexpr std::size_t kMaxBitmapSide = 4096;

// A transparent RGBA bitmap of width × height pixels; null when a side is 0 or
// larger than kMaxBitmapSide, or when the memory cannot be had.
CGContextRef CGBitmapContextCreate(std::size_t width, std::size_t height);
std::size_t CGBitmapContextGetWidth(const CGContextRef& c);
std::size_t CGBitmapContextGetHeight(const CGContextRef& c);
// A copy of the pixels drawn so far; null for a null context.
CGImageRef CGBitmapContextCreateImage(const CGContextRef& c);

void CGContextSaveGState(const CGContextRef& c);
void CGContextRestoreGState(const CGContextRef& c);
// Scales later drawing (a chart drawn in points on a 2× bitmap: scale 2, 2).
void CGContextScaleCTM(const CGContextRef& c, double sx, double sy);
void CGContextTranslateCTM(const CGContextRef& c, double tx, double ty);

// Components 0..1; values outside are clamped.
void CGContextSetRGBStrokeColor(const CGContextRef& c, double r, double g, double b, double a);
void CGContextSetRGBFillColor(const CGContextRef& c, double r, double g, double b, double a);
void CGContextSetLineWidth(const CGContextRef& c, double width);
// Dashes of the given on/off lengths starting `phase` into the pattern; an
// empty list draws solid lines again. Negative or all-zero lengths are refused
// (the line stays as it was), as cairo would put the context in error.
void CGContextSetLineDash(const CGContextRef& c, double phase, std::span<const double> lengths);

void CGContextBeginPath(const CGContextRef& c);
void CGContextMoveToPoint(const CGContextRef& c, double x, double y);
// A line from the current point; from nowhere it starts the path at (x, y).
void CGContextAddLineToPoint(const CGContextRef& c, double x, double y);
void CGContextAddRect(const CGContextRef& c, double x, double y, double width, double height);
void CGContextClosePath(const CGContextRef& c);
// Stroke and fill consume the current path.
void CGContextStrokePath(const CGContextRef& c);
void CGContextFillPath(const CGContextRef& c);
void CGContextFillRect(const CGContextRef& c, double x, double y, double width, double height);
void CGContextStrokeLineSegments(const CGContextRef& c, std::span<const CGPoint> points);

// Text: the font family and size in points for CGContextShowTextAtPoint, drawn
// in the fill colour with its baseline at y. A family the machine lacks falls
// back to its default sans-serif face.
void CGContextSelectFont(const CGContextRef& c, std::string_view family, double size);
void CGContextShowTextAtPoint(const CGContextRef& c, double x, double y, std::string_view utf8);
// How far CGContextShowTextAtPoint would advance for `utf8` (in points): for
// right-aligned and centred labels.
double CGContextGetTextWidth(const CGContextRef& c, std::string_view utf8);

}  // namespace px::platform::coregraphics
