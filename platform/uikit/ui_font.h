#pragma once
// UIFont: a font name and a point size. No font files exist on the simulated
// device, so every name is accepted and kept for inspection.

#include <memory>
#include <string>

#include "platform/objc/native_class.h"

namespace px::platform::uikit {

class UIFont : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIFont> fontWithName(std::string name, double size);

  const std::string& fontName() const { return m_name; }
  double pointSize() const { return m_size; }

 private:
  std::string m_name;
  double m_size = 0;
};

}  // namespace px::platform::uikit
