#include "platform/uikit/ui_image.h"

#include <cmath>

#include "platform/foundation/file_io.h"
#include "platform/sim/device_paths.h"

namespace px::platform::uikit {
namespace {
constexpr std::size_t kMaxImageBytes = 8 * 1024 * 1024;

std::uint32_t big_endian(const std::string& b, std::size_t at) {
  return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
         (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint32_t(std::uint8_t(b[at + 3]));
}
}  // namespace

objc::Class UIImage::runtime_class() { return objc::native_class("UIImage"); }

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(std::string_view device_file) {
  auto contents = foundation::read_device_file(sim::DevicePath(device_file), kMaxImageBytes);
  if (!contents.ok()) return nullptr;
  const std::string& b = *contents;
  static const char kMagic[] = "\x89PNG\r\n\x1a\n";
  // Signature, then the IHDR chunk: length, type, width, height.
  if (b.size() < 24 || b.compare(0, 8, kMagic, 8) != 0 || b.compare(12, 4, "IHDR") != 0) return nullptr;
  auto image = objc::make_native<UIImage>();
  image->m_path = std::string(device_file);
  image->m_width = big_endian(b, 16);
  image->m_height = big_endian(b, 20);
  return image;
}

std::shared_ptr<UIImage> UIImage::imageWithCGImage(coregraphics::CGImageRef pixels, double scale) {
  if (!pixels || !std::isfinite(scale) || scale <= 0) return nullptr;
  auto image = objc::make_native<UIImage>();
  image->m_scale = scale;
  image->m_width = static_cast<double>(pixels->width()) / scale;
  image->m_height = static_cast<double>(pixels->height()) / scale;
  image->m_pixels = std::move(pixels);
  return image;
}

std::optional<std::string> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image) {
  if (!image) return std::nullopt;
  if (image->CGImage()) return image->CGImage()->png_data();
  auto contents = foundation::read_device_file(sim::DevicePath(image->path()), kMaxImageBytes);
  if (!contents.ok()) return std::nullopt;
  return std::move(contents).value();
}

std::string UIImage::file_name() const {
  if (m_path.empty()) return {};
  auto slash = m_path.rfind('/');
  return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

}  // namespace px::platform::uikit
