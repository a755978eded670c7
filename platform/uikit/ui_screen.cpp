#include "platform/uikit/ui_screen.h"

#include "platform/system/hardware_switches.h"

namespace px::platform::uikit {

objc::Class UIScreen::runtime_class() { return objc::native_class("UIScreen"); }

std::shared_ptr<UIScreen> UIScreen::mainScreen() {
  static std::shared_ptr<UIScreen> screen = objc::make_native<UIScreen>();
  if (screen->isa() != runtime_class()) screen->set_isa(runtime_class());
  return screen;
}

double UIScreen::brightness() const { return system::level(system::Switch::brightness); }

void UIScreen::setBrightness(double value) { system::set_level(system::Switch::brightness, value); }

}  // namespace px::platform::uikit
