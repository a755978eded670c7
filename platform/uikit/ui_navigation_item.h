#pragma once
// UINavigationItem: what a view controller shows in the navigation bar. The
// item holds its own references to the title view and the bar button item.

#include <memory>
#include <optional>
#include <string>

#include "platform/uikit/ui_bar_button_item.h"
#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

class UINavigationItem : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UINavigationItem> make();

  const std::optional<std::string>& title() const { return m_title; }
  void setTitle(std::optional<std::string> t) { m_title = std::move(t); }
  std::shared_ptr<UIView> titleView() const { return m_title_view; }
  void setTitleView(std::shared_ptr<UIView> v) { m_title_view = std::move(v); }
  std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const { return m_right; }
  void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item) { m_right = std::move(item); }

 private:
  std::optional<std::string> m_title;
  std::shared_ptr<UIView> m_title_view;
  std::shared_ptr<UIBarButtonItem> m_right;
};

}  // namespace px::platform::uikit
