#include "platform/uikit/ui_navigation_item.h"

namespace px::platform::uikit {

objc::Class UINavigationItem::runtime_class() { return objc::native_class("UINavigationItem"); }

std::shared_ptr<UINavigationItem> UINavigationItem::make() { return objc::make_native<UINavigationItem>(); }

}  // namespace px::platform::uikit
