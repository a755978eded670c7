#pragma once
// UIBarButtonItem: an item of a navigation bar. Only items with a custom view
// are made by the system; the item keeps its view.

#include <memory>

#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

class UIBarButtonItem : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIBarButtonItem> initWithCustomView(std::shared_ptr<UIView> view);

  std::shared_ptr<UIView> customView() const { return m_view; }

 private:
  std::shared_ptr<UIView> m_view;
};

}  // namespace px::platform::uikit
