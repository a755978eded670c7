#pragma once
// UIImage: either a PNG file read from the device (only its header is
// interpreted, for the size in pixels; the host shows the file) or pixels drawn
// through CoreGraphics (imageWithCGImage:scale:), which can be encoded as PNG.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/coregraphics/cg_image.h"
#include "platform/objc/native_class.h"

namespace px::platform::uikit {

class UIImage : public objc::Object {
 public:
  static objc::Class runtime_class();
  // Nothing when the file is missing, unreadable or not a PNG image.
  static std::shared_ptr<UIImage> imageWithContentsOfFile(std::string_view device_file);
  // Drawn pixels shown at `scale` pixels per point; nothing for a null image or
  // a scale that is not a positive number.
  static std::shared_ptr<UIImage> imageWithCGImage(coregraphics::CGImageRef image, double scale = 1);

  // The device path it was read from; empty for a drawn image.
  const std::string& path() const { return m_path; }
  // The last path component ("love.png"); empty for a drawn image.
  std::string file_name() const;
  // Size in points (pixels of a file image; pixels ÷ scale of a drawn one).
  double width() const { return m_width; }
  double height() const { return m_height; }
  double scale() const { return m_scale; }
  // The drawn pixels; null for a file image.
  const coregraphics::CGImageRef& CGImage() const { return m_pixels; }

 private:
  std::string m_path;
  double m_width = 0, m_height = 0, m_scale = 1;
  coregraphics::CGImageRef m_pixels;
};

// The image as PNG bytes: a file image's file as it is, a drawn image encoded.
// Nothing for nil, or when the file can no longer be read.
std::optional<std::string> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image);

}  // namespace px::platform::uikit
