#include "platform/uikit/ui_navigation_item.h"

namespace uikit {

objc::Class UINavigationItem::runtime_class() { return objc::native_class("UINavigationItem"); }

std::shared_ptr<UINavigationItem> UINavigationItem::make() { return objc::make_native<UINavigationItem>(); }

}  // namespace uikit
