#include "prefs/pane_support.h"

#include "platform/uikit/ui_bar_button_item.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_image.h"

namespace pxprefs {

objc::Class define_pane(const char* name) {
  if (objc::Class c = objc::objc_getClass(name)) return c;
  objc::Class cls = objc::objc_allocateClassPair(preferences::PSListController::runtime_class(), name);
  if (!cls) return objc::objc_getClass(name);
  objc::objc_registerClassPair(cls);
  return cls;
}

Pane as_pane(const objc::id& self) { return std::dynamic_pointer_cast<preferences::PSListController>(self); }

objc::id load_specifiers_once(const objc::id& self, const char* list_name) {
  Pane pane = as_pane(self);
  if (!pane) return nullptr;
  if (pane->_specifiers) return pane->_specifiers;
  objc::id loaded = pane->loadSpecifiersFromPlistName(list_name, self);
  if (loaded) pane->_specifiers = loaded;
  return loaded;
}

void add_getter(objc::Class cls, const char* selector, std::function<foundation::Value(const Pane&)> getter) {
  objc::class_addMethod<foundation::Value, objc::id>(
      cls, objc::sel(selector), objc::Imp<foundation::Value, objc::id>([getter](objc::id self, objc::SEL, objc::id) {
        return getter(as_pane(self));
      }));
}

void add_action(objc::Class cls, const char* selector, std::function<void(const Pane&)> action) {
  objc::class_addMethod<void, objc::id>(
      cls, objc::sel(selector),
      objc::Imp<void, objc::id>([action](objc::id self, objc::SEL, objc::id) { action(as_pane(self)); }));
}

void add_specifiers(objc::Class cls, std::function<objc::id(const objc::id& self)> body) {
  objc::class_addMethod<objc::id>(cls, objc::sel("specifiers"),
                                  objc::Imp<objc::id>([body](objc::id self, objc::SEL) { return body(self); }));
}

void install_bar_button(const Pane& pane, const char* image_file, const char* action) {
  auto image = uikit::UIImage::imageWithContentsOfFile(image_file);
  auto button = uikit::UIButton::initWithFrame(uikit::CGRect{0, 0, 22, 22});
  button->setBackgroundImage(image, uikit::UIControlStateNormal);
  button->setShowsTouchWhenHighlighted(true);
  button->addTarget(pane, objc::sel(action), uikit::UIControlEventTouchDown);
  pane->navigationItem()->setRightBarButtonItem(uikit::UIBarButtonItem::initWithCustomView(button));
}

}  // namespace pxprefs
