#pragma once
// UIColor: the named colours the system asks for, as RGBA components.

#include <memory>
#include <string>

#include "platform/objc/native_class.h"

namespace px::platform::uikit {

class UIColor : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIColor> make(std::string name, double r, double g, double b, double a);
  static std::shared_ptr<UIColor> clearColor() { return make("clearColor", 0, 0, 0, 0); }
  static std::shared_ptr<UIColor> blackColor() { return make("blackColor", 0, 0, 0, 1); }
  static std::shared_ptr<UIColor> whiteColor() { return make("whiteColor", 1, 1, 1, 1); }

  const std::string& name() const { return m_name; }
  double red() const { return m_r; }
  double green() const { return m_g; }
  double blue() const { return m_b; }
  double alpha() const { return m_a; }

 private:
  std::string m_name;
  double m_r = 0, m_g = 0, m_b = 0, m_a = 0;
};

}  // namespace px::platform::uikit
