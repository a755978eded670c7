#include "platform/uikit/ui_view.h"

#include <algorithm>

#include "platform/uikit/animations.h"

namespace px::platform::uikit {

objc::Class UIView::runtime_class() { return objc::native_class("UIView"); }

std::shared_ptr<UIView> UIView::make(CGRect frame) {
  auto v = objc::make_native<UIView>();
  v->m_frame = frame;
  return v;
}

void UIView::setFrame(CGRect f) {
  CGRect old = m_frame;
  m_frame = f;
  if (old.x != f.x) property_changed("frame.x", old.x, f.x);
  if (old.y != f.y) property_changed("frame.y", old.y, f.y);
  if (old.width != f.width) property_changed("frame.width", old.width, f.width);
  if (old.height != f.height) property_changed("frame.height", old.height, f.height);
}

void UIView::setAlpha(double a) {
  double old = m_alpha;
  m_alpha = a;
  property_changed("alpha", old, a);
}

void UIView::addSubview(std::shared_ptr<UIView> view) {
  if (!view || view.get() == this) return;
  view->removeFromSuperview();
  view->m_superview = std::static_pointer_cast<UIView>(shared_from_this());
  m_subviews.push_back(std::move(view));
}

void UIView::removeFromSuperview() {
  auto parent = m_superview.lock();
  m_superview.reset();
  if (!parent) return;
  auto& list = parent->m_subviews;
  list.erase(std::remove_if(list.begin(), list.end(), [this](const auto& v) { return v.get() == this; }), list.end());
}

void UIView::property_changed(const std::string& property, double from, double to) {
  Animations::shared().record_change(std::static_pointer_cast<UIView>(shared_from_this()), property, from, to);
}

}  // namespace px::platform::uikit
