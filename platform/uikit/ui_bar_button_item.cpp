#include "platform/uikit/ui_bar_button_item.h"

namespace px::platform::uikit {

objc::Class UIBarButtonItem::runtime_class() { return objc::native_class("UIBarButtonItem"); }

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::initWithCustomView(std::shared_ptr<UIView> view) {
  auto item = objc::make_native<UIBarButtonItem>();
  item->m_view = std::move(view);
  return item;
}

}  // namespace px::platform::uikit
