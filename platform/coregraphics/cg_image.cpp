#include "platform/coregraphics/cg_image.h"

#include <cairo.h>

namespace px::platform::coregraphics {

CGImage::CGImage(std::size_t width, std::size_t height, std::vector<std::uint32_t> argb)
    : m_width(width), m_height(height), m_argb(std::move(argb)) {
  m_argb.resize(m_width * m_height);
}

CGPixel CGImage::pixel(std::size_t x, std::size_t y) const {
  if (x >= m_width || y >= m_height) return {};
  std::uint32_t word = m_argb[y * m_width + x];
  auto a = std::uint8_t(word >> 24);
  if (a == 0) return {};
  // Undo the premultiplication, rounding to the nearest value.
  auto straight = [a](std::uint32_t c) { return std::uint8_t((c * 255 + a / 2) / a); };
  return {straight((word >> 16) & 0xff), straight((word >> 8) & 0xff), straight(word & 0xff), a};
}

std::optional<std::string> CGImage::png_data() const {
  if (m_width == 0 || m_height == 0) return std::nullopt;
  int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, static_cast<int>(m_width));
  if (stride != static_cast<int>(m_width * 4)) return std::nullopt;
  // cairo only reads the pixels while writing; the cast does not let it change them.
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(m_argb.data())), CAIRO_FORMAT_ARGB32,
      static_cast<int>(m_width), static_cast<int>(m_height), stride);
  std::string out;
  auto append = [](void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  };
  cairo_status_t status = cairo_surface_status(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_write_to_png_stream(surface, append, &out);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) return std::nullopt;
  return out;
}

}  // namespace px::platform::coregraphics
