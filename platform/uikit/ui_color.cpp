#include "platform/uikit/ui_color.h"

namespace px::platform::uikit {

objc::Class UIColor::runtime_class() { return objc::native_class("UIColor"); }

std::shared_ptr<UIColor> UIColor::make(std::string name, double r, double g, double b, double a) {
  auto c = objc::make_native<UIColor>();
  c->m_name = std::move(name);
  c->m_r = r;
  c->m_g = g;
  c->m_b = b;
  c->m_a = a;
  return c;
}

}  // namespace px::platform::uikit
