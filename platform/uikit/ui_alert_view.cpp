#include "platform/uikit/ui_alert_view.h"

namespace px::platform::uikit {

objc::Class UIAlertView::runtime_class() { return objc::native_class("UIAlertView"); }

std::shared_ptr<UIAlertView> UIAlertView::make(std::string title, std::string message, objc::id delegate,
                                               std::optional<std::string> cancel_button,
                                               std::vector<std::string> other_buttons) {
  auto a = objc::make_native<UIAlertView>();
  a->m_title = std::move(title);
  a->m_message = std::move(message);
  a->m_delegate = delegate;
  if (cancel_button) {
    a->m_has_cancel = true;
    a->m_buttons.push_back(std::move(*cancel_button));
  }
  for (auto& b : other_buttons) a->m_buttons.push_back(std::move(b));
  return a;
}

long UIAlertView::firstOtherButtonIndex() const {
  long first = m_has_cancel ? 1 : 0;
  return first < numberOfButtons() ? first : -1;
}

void UIAlertView::show() {
  AlertPresenter::shared().present(std::static_pointer_cast<UIAlertView>(shared_from_this()));
}

AlertPresenter& AlertPresenter::shared() {
  static AlertPresenter* p = new AlertPresenter;
  return *p;
}

void AlertPresenter::present(std::shared_ptr<UIAlertView> alert) {
  if (!alert) return;
  m_visible.push_back(std::move(alert));
  changed();
}

bool AlertPresenter::press(long position, long index) {
  if (m_visible.empty()) return false;
  if (position < 0) position = static_cast<long>(m_visible.size()) - 1;
  if (position >= static_cast<long>(m_visible.size())) return false;
  auto alert = m_visible[static_cast<std::size_t>(position)];
  if (index < 0 || index >= alert->numberOfButtons()) return false;
  objc::id self = alert;
  objc::id delegate = alert->delegate();
  // The presenter's reference keeps the alert alive through both calls.
  if (delegate &&
      objc::class_respondsToSelector(objc::object_getClass(delegate), objc::sel("alertView:clickedButtonAtIndex:")))
    objc::msg_send<void>(delegate, objc::sel("alertView:clickedButtonAtIndex:"), self, index);
  std::erase(m_visible, alert);
  changed();
  if (delegate && objc::class_respondsToSelector(objc::object_getClass(delegate),
                                                 objc::sel("alertView:didDismissWithButtonIndex:")))
    objc::msg_send<void>(delegate, objc::sel("alertView:didDismissWithButtonIndex:"), self, index);
  return true;
}

void AlertPresenter::dismiss_all() {
  m_visible.clear();
  changed();
}

void AlertPresenter::changed() {
  if (m_on_change) m_on_change();
}

}  // namespace px::platform::uikit
