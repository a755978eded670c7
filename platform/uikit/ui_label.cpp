#include "platform/uikit/ui_label.h"

namespace px::platform::uikit {

objc::Class UILabel::runtime_class() { return objc::native_class("UILabel", UIView::runtime_class()); }

std::shared_ptr<UILabel> UILabel::initWithFrame(CGRect frame) {
  auto l = objc::make_native<UILabel>();
  l->setFrame(frame);
  return l;
}

}  // namespace px::platform::uikit
