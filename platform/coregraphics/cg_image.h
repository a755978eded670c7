#pragma once
// CGImage: pixels taken from a bitmap context, immutable once made. Drawing on
// the context afterwards leaves an image already taken as it was.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace px::platform::coregraphics {

// One pixel, straight (not premultiplied) alpha, 0..255 each.
struct CGPixel {
  std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
  bool operator==(const CGPixel&) const = default;
};

class CGImage {
 public:
  // `argb` holds `height` rows of `width` native-endian 32-bit words, alpha
  // premultiplied (cairo's ARGB32 layout, tightly packed).
  CGImage(std::size_t width, std::size_t height, std::vector<std::uint32_t> argb);

  std::size_t width() const { return m_width; }
  std::size_t height() const { return m_height; }
  // The pixel at column x, row y (row 0 at the top); transparent outside.
  CGPixel pixel(std::size_t x, std::size_t y) const;
  // The image as a PNG file's bytes; nothing when encoding failed.
  std::optional<std::string> png_data() const;

 private:
  std::size_t m_width, m_height;
  std::vector<std::uint32_t> m_argb;
};

using CGImageRef = std::shared_ptr<const CGImage>;

}  // namespace px::platform::coregraphics
