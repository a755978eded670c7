#include "prefs/pane_support.h"

#include "platform/uikit/ui_bar_button_item.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_image.h"

namespace px::prefs {

platform::objc::Class define_pane(const char* name) {
  if (platform::objc::Class c = platform::objc::objc_getClass(name)) return c;
  platform::objc::Class cls =
      platform::objc::objc_allocateClassPair(platform::preferences::PSListController::runtime_class(), name);
  if (!cls) return platform::objc::objc_getClass(name);
  platform::objc::objc_registerClassPair(cls);
  return cls;
}

Pane as_pane(const platform::objc::id& self) {
  return std::dynamic_pointer_cast<platform::preferences::PSListController>(self);
}

platform::objc::id load_specifiers_once(const platform::objc::id& self, const char* list_name) {
  Pane pane = as_pane(self);
  if (!pane) return nullptr;
  if (pane->_specifiers) return pane->_specifiers;
  platform::objc::id loaded = pane->loadSpecifiersFromPlistName(list_name, self);
  if (loaded) pane->_specifiers = loaded;
  return loaded;
}

void add_getter(platform::objc::Class cls, const char* selector,
                std::function<platform::foundation::Value(const Pane&)> getter) {
  platform::objc::class_addMethod<platform::foundation::Value, platform::objc::id>(
      cls, platform::objc::sel(selector),
      platform::objc::Imp<platform::foundation::Value, platform::objc::id>(
          [getter](platform::objc::id self, platform::objc::SEL, platform::objc::id) {
            return getter(as_pane(self));
          }));
}

void add_action(platform::objc::Class cls, const char* selector, std::function<void(const Pane&)> action) {
  platform::objc::class_addMethod<void, platform::objc::id>(
      cls, platform::objc::sel(selector),
      platform::objc::Imp<void, platform::objc::id>(
          [action](platform::objc::id self, platform::objc::SEL, platform::objc::id) { action(as_pane(self)); }));
}

void add_specifiers(platform::objc::Class cls, std::function<platform::objc::id(const platform::objc::id& self)> body) {
  platform::objc::class_addMethod<platform::objc::id>(
      cls, platform::objc::sel("specifiers"),
      platform::objc::Imp<platform::objc::id>(
          [body](platform::objc::id self, platform::objc::SEL) { return body(self); }));
}

void install_bar_button(const Pane& pane, const char* image_file, const char* action) {
  auto image = platform::uikit::UIImage::imageWithContentsOfFile(image_file);
  auto button = platform::uikit::UIButton::initWithFrame(platform::uikit::CGRect{0, 0, 22, 22});
  button->setBackgroundImage(image, platform::uikit::UIControlStateNormal);
  button->setShowsTouchWhenHighlighted(true);
  button->addTarget(pane, platform::objc::sel(action), platform::uikit::UIControlEventTouchDown);
  pane->navigationItem()->setRightBarButtonItem(platform::uikit::UIBarButtonItem::initWithCustomView(button));
}

}  // namespace px::prefs
