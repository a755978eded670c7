// PylonexPro2TitleCell: the header of the root list, two centred labels.

#include "platform/preferences/ps_table_cell.h"
#include "platform/uikit/ui_label.h"
#include "prefs/panes.h"

namespace px::prefs {
namespace {

std::shared_ptr<platform::uikit::UILabel> make_label(double y, double width, const char* font, double size,
                                                     const char* text) {
  auto label = platform::uikit::UILabel::initWithFrame(platform::uikit::CGRect{0, y, width, 60});
  label->setNumberOfLines(1);
  label->setFont(platform::uikit::UIFont::fontWithName(font, size));
  label->setText(text);
  label->setBackgroundColor(platform::uikit::UIColor::clearColor());
  label->setTextColor(platform::uikit::UIColor::blackColor());
  label->setTextAlignment(platform::uikit::NSTextAlignmentCenter);
  return label;
}

platform::objc::id init_with_specifier(const platform::objc::id& self) {
  auto cell = std::dynamic_pointer_cast<platform::preferences::PSTableCell>(self);
  if (!cell || !cell->initWithStyle(0, "Cell")) return nullptr;
  double width =
      static_cast<double>(static_cast<std::int32_t>(platform::uikit::UIScreen::mainScreen()->bounds().width));
  auto title = make_label(-30, width, "AppleSDGothicNeo-Thin", 48, "PylonexPro 2");
  auto subtitle = make_label(5, width, "HelveticaNeue-UltraLight", 12, "Battery figures and power saving, by zelmoraq");
  platform::objc::Class cls = platform::objc::object_getClass(self);
  platform::objc::object_setIvar<platform::objc::id>(self, platform::objc::class_getInstanceVariable(cls, "tweakTitle"),
                                                     title);
  platform::objc::object_setIvar<platform::objc::id>(
      self, platform::objc::class_getInstanceVariable(cls, "tweakSubtitle"), subtitle);
  cell->addSubview(title);
  cell->addSubview(subtitle);
  return self;
}

}  // namespace

void register_PylonexPro2TitleCell() {
  if (platform::objc::objc_getClass("PylonexPro2TitleCell")) return;
  platform::objc::Class cls = platform::objc::objc_allocateClassPair(
      platform::preferences::PSTableCell::runtime_class(), "PylonexPro2TitleCell");
  if (!cls) return;
  platform::objc::class_addIvar(cls, "tweakTitle", typeid(platform::objc::id));
  platform::objc::class_addIvar(cls, "tweakSubtitle", typeid(platform::objc::id));
  platform::objc::class_addMethod<platform::objc::id, platform::objc::id>(
      cls, platform::objc::sel("initWithSpecifier:"),
      platform::objc::Imp<platform::objc::id, platform::objc::id>(
          [](platform::objc::id self, platform::objc::SEL, platform::objc::id) { return init_with_specifier(self); }));
  platform::objc::objc_registerClassPair(cls);
}

}  // namespace px::prefs
