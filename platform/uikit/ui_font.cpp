#include "platform/uikit/ui_font.h"

namespace px::platform::uikit {

objc::Class UIFont::runtime_class() { return objc::native_class("UIFont"); }

std::shared_ptr<UIFont> UIFont::fontWithName(std::string name, double size) {
  auto f = objc::make_native<UIFont>();
  f->m_name = std::move(name);
  f->m_size = size;
  return f;
}

}  // namespace px::platform::uikit
