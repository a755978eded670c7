#include "platform/coregraphics/cg_context.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace px::platform::coregraphics {

// Owns one cairo image surface and its drawing state. Colours for stroke and
// fill are kept apart here because cairo has a single source colour.
class CGContext {
 public:
  CGContext(cairo_surface_t* surface, cairo_t* cr) : m_surface(surface), m_cr(cr) {}
  ~CGContext() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
  }
  CGContext(const CGContext&) = delete;
  CGContext& operator=(const CGContext&) = delete;

  struct Colour {
    double r = 0, g = 0, b = 0, a = 1;
  };
  struct Style {
    Colour stroke, fill;
  };

  cairo_surface_t* m_surface;
  cairo_t* m_cr;
  Style m_style;
  std::vector<Style> m_saved;
};

namespace {

double unit(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }
bool finite(double a, double b) { return std::isfinite(a) && std::isfinite(b); }

void use(cairo_t* cr, const CGContext::Colour& c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

// cairo puts a context in error for good on invalid UTF-8; such text is not drawn.
bool valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t extra = b < 0x80 ? 0 : (b >> 5) == 0x6 ? 1 : (b >> 4) == 0xe ? 2 : (b >> 3) == 0x1e ? 3 : 4;
    if (extra == 4 || i + extra >= s.size()) return false;
    std::uint32_t cp = extra == 0 ? b : b & (0x3f >> extra);
    for (std::size_t k = 1; k <= extra; ++k) {
      auto cont = static_cast<unsigned char>(s[i + k]);
      if ((cont >> 6) != 0x2) return false;
      cp = (cp << 6) | (cont & 0x3f);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[extra] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff) || cp == 0) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

CGContextRef CGBitmapContextCreate(std::size_t width, std::size_t height) {
  if (width == 0 || height == 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return nullptr;
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_t* cr = cairo_create(surface);
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return nullptr;
  }
  // CoreGraphics' defaults: black, one point wide, butt ends, mitred joins.
  cairo_set_line_width(cr, 1);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 12);
  return std::make_shared<CGContext>(surface, cr);
}

std::size_t CGBitmapContextGetWidth(const CGContextRef& c) {
  return c ? static_cast<std::size_t>(cairo_image_surface_get_width(c->m_surface)) : 0;
}

std::size_t CGBitmapContextGetHeight(const CGContextRef& c) {
  return c ? static_cast<std::size_t>(cairo_image_surface_get_height(c->m_surface)) : 0;
}

CGImageRef CGBitmapContextCreateImage(const CGContextRef& c) {
  if (!c) return nullptr;
  cairo_surface_flush(c->m_surface);
  auto width = CGBitmapContextGetWidth(c), height = CGBitmapContextGetHeight(c);
  auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(c->m_surface));
  const unsigned char* data = cairo_image_surface_get_data(c->m_surface);
  if (!data) return nullptr;
  std::vector<std::uint32_t> pixels(width * height);
  for (std::size_t y = 0; y < height; ++y)
    std::copy_n(reinterpret_cast<const std::uint32_t*>(data + y * stride), width, pixels.begin() + y * width);
  return std::make_shared<const CGImage>(width, height, std::move(pixels));
}

void CGContextSaveGState(const CGContextRef& c) {
  if (!c) return;
  cairo_save(c->m_cr);
  c->m_saved.push_back(c->m_style);
}

void CGContextRestoreGState(const CGContextRef& c) {
  // An unbalanced restore is ignored, as on the device (where it only logs).
  if (!c || c->m_saved.empty()) return;
  cairo_restore(c->m_cr);
  c->m_style = c->m_saved.back();
  c->m_saved.pop_back();
}

void CGContextScaleCTM(const CGContextRef& c, double sx, double sy) {
  // A zero or non-finite scale would make the matrix singular and put cairo in error for good.
  if (!c || !finite(sx, sy) || sx == 0 || sy == 0) return;
  cairo_scale(c->m_cr, sx, sy);
}

void CGContextTranslateCTM(const CGContextRef& c, double tx, double ty) {
  if (c && finite(tx, ty)) cairo_translate(c->m_cr, tx, ty);
}

void CGContextSetRGBStrokeColor(const CGContextRef& c, double r, double g, double b, double a) {
  if (c) c->m_style.stroke = {unit(r), unit(g), unit(b), unit(a)};
}

void CGContextSetRGBFillColor(const CGContextRef& c, double r, double g, double b, double a) {
  if (c) c->m_style.fill = {unit(r), unit(g), unit(b), unit(a)};
}

void CGContextSetLineWidth(const CGContextRef& c, double width) {
  if (c && std::isfinite(width) && width >= 0) cairo_set_line_width(c->m_cr, width);
}

void CGContextSetLineDash(const CGContextRef& c, double phase, std::span<const double> lengths) {
  if (!c) return;
  bool any = false;
  for (double l : lengths) {
    if (!std::isfinite(l) || l < 0) return;
    any |= l > 0;
  }
  if (!lengths.empty() && !any) return;
  cairo_set_dash(c->m_cr, lengths.data(), static_cast<int>(lengths.size()), std::isfinite(phase) ? phase : 0);
}

void CGContextBeginPath(const CGContextRef& c) {
  if (c) cairo_new_path(c->m_cr);
}

void CGContextMoveToPoint(const CGContextRef& c, double x, double y) {
  if (c && finite(x, y)) cairo_move_to(c->m_cr, x, y);
}

void CGContextAddLineToPoint(const CGContextRef& c, double x, double y) {
  if (c && finite(x, y)) cairo_line_to(c->m_cr, x, y);
}

void CGContextAddRect(const CGContextRef& c, double x, double y, double width, double height) {
  if (c && finite(x, y) && finite(width, height)) cairo_rectangle(c->m_cr, x, y, width, height);
}

void CGContextClosePath(const CGContextRef& c) {
  if (c) cairo_close_path(c->m_cr);
}

void CGContextStrokePath(const CGContextRef& c) {
  if (!c) return;
  use(c->m_cr, c->m_style.stroke);
  cairo_stroke(c->m_cr);
}

void CGContextFillPath(const CGContextRef& c) {
  if (!c) return;
  use(c->m_cr, c->m_style.fill);
  cairo_fill(c->m_cr);
}

void CGContextFillRect(const CGContextRef& c, double x, double y, double width, double height) {
  if (!c || !finite(x, y) || !finite(width, height)) return;
  // Filling a rectangle leaves the path being built alone, as CoreGraphics does.
  cairo_path_t* path = cairo_copy_path(c->m_cr);
  cairo_new_path(c->m_cr);
  cairo_rectangle(c->m_cr, x, y, width, height);
  use(c->m_cr, c->m_style.fill);
  cairo_fill(c->m_cr);
  cairo_append_path(c->m_cr, path);
  cairo_path_destroy(path);
}

void CGContextStrokeLineSegments(const CGContextRef& c, std::span<const CGPoint> points) {
  if (!c) return;
  cairo_new_path(c->m_cr);
  for (std::size_t i = 0; i + 1 < points.size(); i += 2) {
    if (!finite(points[i].x, points[i].y) || !finite(points[i + 1].x, points[i + 1].y)) continue;
    cairo_move_to(c->m_cr, points[i].x, points[i].y);
    cairo_line_to(c->m_cr, points[i + 1].x, points[i + 1].y);
  }
  CGContextStrokePath(c);
}

void CGContextSelectFont(const CGContextRef& c, std::string_view family, double size) {
  if (!c) return;
  std::string name(family);
  cairo_select_font_face(c->m_cr, name.empty() ? "sans-serif" : name.c_str(), CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_NORMAL);
  if (std::isfinite(size) && size > 0) cairo_set_font_size(c->m_cr, size);
}

void CGContextShowTextAtPoint(const CGContextRef& c, double x, double y, std::string_view utf8) {
  if (!c || utf8.empty() || !finite(x, y) || !valid_utf8(utf8)) return;
  std::string text(utf8);  // cairo wants a terminated string
  cairo_path_t* path = cairo_copy_path(c->m_cr);
  cairo_new_path(c->m_cr);
  cairo_move_to(c->m_cr, x, y);
  use(c->m_cr, c->m_style.fill);
  cairo_show_text(c->m_cr, text.c_str());
  cairo_new_path(c->m_cr);
  cairo_append_path(c->m_cr, path);
  cairo_path_destroy(path);
}

double CGContextGetTextWidth(const CGContextRef& c, std::string_view utf8) {
  if (!c || utf8.empty() || !valid_utf8(utf8)) return 0;
  std::string text(utf8);
  cairo_text_extents_t extents{};
  cairo_text_extents(c->m_cr, text.c_str(), &extents);
  return extents.x_advance;
}

}  // namespace px::platform::coregraphics
