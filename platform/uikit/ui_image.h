#pragma once
// UIImage: a PNG file read from the device. Only the header is interpreted
// (size in pixels); the bytes are kept so that the host can show the image.

#include <memory>
#include <string>
#include <string_view>

#include "platform/objc/native_class.h"

namespace uikit {

class UIImage : public objc::Object {
 public:
  static objc::Class runtime_class();
  // Nothing when the file is missing, unreadable or not a PNG image.
  static std::shared_ptr<UIImage> imageWithContentsOfFile(std::string_view device_file);

  // The device path it was read from.
  const std::string& path() const { return m_path; }
  // The last path component ("love.png").
  std::string file_name() const;
  double width() const { return m_width; }
  double height() const { return m_height; }

 private:
  std::string m_path;
  double m_width = 0, m_height = 0;
};

}  // namespace uikit
