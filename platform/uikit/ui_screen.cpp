#include "platform/uikit/ui_screen.h"

#include <algorithm>
#include <cmath>

#include "platform/system/hardware_state.h"

namespace uikit {

objc::Class UIScreen::runtime_class() { return objc::native_class("UIScreen"); }

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
  static std::shared_ptr<UIScreen> screen = objc::make_native<UIScreen>();
  if (screen->isa() != runtime_class()) screen->set_isa(runtime_class());
  return screen;
}

double UIScreen::brightness() const {
  foundation::Value v = hardware::get("brightness");
  return v.is_number() ? v.doubleValue() : 0.5;
}

void UIScreen::setBrightness(double value) {
  if (!std::isfinite(value)) return;
  hardware::set("brightness", foundation::Value(std::clamp(value, 0.0, 1.0)));
}

}  // namespace uikit
