#include "platform/uikit/ui_button.h"

namespace px::platform::uikit {

objc::Class UIButton::runtime_class() { return objc::native_class("UIButton", UIView::runtime_class()); }

std::shared_ptr<UIButton> UIButton::initWithFrame(CGRect frame) {
  auto b = objc::make_native<UIButton>();
  b->setFrame(frame);
  return b;
}

void UIButton::setBackgroundImage(std::shared_ptr<UIImage> image, unsigned long state) {
  if (image)
    m_backgrounds[state] = std::move(image);
  else
    m_backgrounds.erase(state);
}

std::shared_ptr<UIImage> UIButton::backgroundImageForState(unsigned long state) const {
  auto it = m_backgrounds.find(state);
  if (it != m_backgrounds.end()) return it->second;
  // States without an image of their own fall back to the normal one.
  it = m_backgrounds.find(UIControlStateNormal);
  return it == m_backgrounds.end() ? nullptr : it->second;
}

void UIButton::addTarget(objc::id target, objc::SEL action, unsigned long events) {
  if (!action || events == 0) return;
  m_targets.push_back(Target{target, action, events});
}

int UIButton::sendActionsForControlEvents(unsigned long events) {
  objc::id self = shared_from_this();
  auto targets = m_targets;  // an action may add targets
  int sent = 0;
  for (auto& t : targets) {
    if (!(t.events & events)) continue;
    objc::id target = t.target.lock();
    if (!target) continue;
    objc::msg_send<void>(target, t.action, self);
    ++sent;
  }
  return sent;
}

int UIButton::tap() {
  int sent = sendActionsForControlEvents(UIControlEventTouchDown);
  return sent + sendActionsForControlEvents(UIControlEventTouchUpInside);
}

unsigned long UIButton::registered_events() const {
  unsigned long mask = 0;
  for (auto& t : m_targets) mask |= t.events;
  return mask;
}

std::string UIButton::summary() const {
  auto image = backgroundImageForState(UIControlStateNormal);
  return image ? "UIButton " + image->file_name() : "UIButton";
}

}  // namespace px::platform::uikit
