// PylonexPro2TitleCell: the header of the root list, two centred labels.

#include "platform/preferences/ps_table_cell.h"
#include "platform/uikit/ui_label.h"
#include "prefs/panes.h"

namespace pxprefs {
namespace {

std::shared_ptr<uikit::UILabel> make_label(double y, double width, const char* font, double size, const char* text) {
  auto label = uikit::UILabel::initWithFrame(uikit::CGRect{0, y, width, 60});
  label->setNumberOfLines(1);
  label->setFont(uikit::UIFont::fontWithName(font, size));
  label->setText(text);
  label->setBackgroundColor(uikit::UIColor::clearColor());
  label->setTextColor(uikit::UIColor::blackColor());
  label->setTextAlignment(uikit::NSTextAlignmentCenter);
  return label;
}

objc::id init_with_specifier(const objc::id& self) {
  auto cell = std::dynamic_pointer_cast<preferences::PSTableCell>(self);
  if (!cell || !cell->initWithStyle(0, "Cell")) return nullptr;
  double width = static_cast<double>(static_cast<std::int32_t>(uikit::UIScreen::mainScreen()->bounds().width));
  auto title = make_label(-30, width, "AppleSDGothicNeo-Thin", 48, "PylonexPro 2");
  auto subtitle = make_label(5, width, "HelveticaNeue-UltraLight", 12, "Battery figures and power saving, by zelmoraq");
  objc::Class cls = objc::object_getClass(self);
  objc::object_setIvar<objc::id>(self, objc::class_getInstanceVariable(cls, "tweakTitle"), title);
  objc::object_setIvar<objc::id>(self, objc::class_getInstanceVariable(cls, "tweakSubtitle"), subtitle);
  cell->addSubview(title);
  cell->addSubview(subtitle);
  return self;
}

}  // namespace

void register_PylonexPro2TitleCell() {
  if (objc::objc_getClass("PylonexPro2TitleCell")) return;
  objc::Class cls = objc::objc_allocateClassPair(preferences::PSTableCell::runtime_class(), "PylonexPro2TitleCell");
  if (!cls) return;
  objc::class_addIvar(cls, "tweakTitle", typeid(objc::id));
  objc::class_addIvar(cls, "tweakSubtitle", typeid(objc::id));
  objc::class_addMethod<objc::id, objc::id>(
      cls, objc::sel("initWithSpecifier:"),
      objc::Imp<objc::id, objc::id>([](objc::id self, objc::SEL, objc::id) { return init_with_specifier(self); }));
  objc::objc_registerClassPair(cls);
}

}  // namespace pxprefs
