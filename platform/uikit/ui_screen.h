#pragma once
// UIScreen: the main screen's bounds in points and its brightness (kept in
// the device's hardware state as "brightness").

#include <memory>

#include "platform/objc/native_class.h"

namespace px::platform::uikit {

struct CGRect {
  double x = 0, y = 0, width = 0, height = 0;
  bool operator==(const CGRect&) const = default;
};

class UIScreen : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIScreen> mainScreen();

  CGRect bounds() const { return m_bounds; }
  void set_bounds_for_testing(CGRect r) { m_bounds = r; }
  double brightness() const;
  // As the device's screen takes it: clamped to 0..1; a value that is not a
  // finite number (NaN, infinities) changes nothing.
  void setBrightness(double value);

 private:
  CGRect m_bounds{0, 0, 320, 568};  // iPhone6,1 in points
};

}  // namespace px::platform::uikit
