#pragma once
// UIAlertView: title, message, delegate, a cancel button (index 0) and other
// buttons after it. `show` hands the alert to the process's AlertPresenter,
// which keeps it alive while it is on screen. Pressing a button sends the
// delegate, through msg_send:
//   alertView:clickedButtonAtIndex:      Imp<void, id, long>
//   alertView:didDismissWithButtonIndex: Imp<void, id, long>
// so that a method added to the delegate's class at run time answers.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/objc/native_class.h"

namespace px::platform::uikit {

class UIAlertView : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIAlertView> make(std::string title, std::string message, objc::id delegate,
                                           std::optional<std::string> cancel_button,
                                           std::vector<std::string> other_buttons);

  const std::string& title() const { return m_title; }
  const std::string& message() const { return m_message; }
  objc::id delegate() const { return m_delegate.lock(); }
  // Titles in index order: the cancel button first when there is one.
  const std::vector<std::string>& buttons() const { return m_buttons; }
  long cancelButtonIndex() const { return m_has_cancel ? 0 : -1; }
  long firstOtherButtonIndex() const;
  long numberOfButtons() const { return static_cast<long>(m_buttons.size()); }

  void show();

 private:
  std::string m_title, m_message;
  std::weak_ptr<objc::Object> m_delegate;  // delegates are not retained, as on the device
  std::vector<std::string> m_buttons;
  bool m_has_cancel = false;
};

// The alerts on screen in one process, oldest first.
class AlertPresenter {
 public:
  static AlertPresenter& shared();

  void present(std::shared_ptr<UIAlertView> alert);
  const std::vector<std::shared_ptr<UIAlertView>>& visible() const { return m_visible; }
  // Presses button `index` of the alert at `position` (-1: the newest). The
  // alert leaves the screen between the two delegate calls. False when there
  // is no such alert or button.
  bool press(long position, long index);
  void dismiss_all();
  // Called after every change (host views redraw, status files update).
  void set_on_change(std::function<void()> f) { m_on_change = std::move(f); }

 private:
  void changed();
  std::vector<std::shared_ptr<UIAlertView>> m_visible;
  std::function<void()> m_on_change;
};

}  // namespace px::platform::uikit
