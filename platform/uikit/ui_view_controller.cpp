#include "platform/uikit/ui_view_controller.h"

namespace px::platform::uikit {
namespace {
UIViewController::PresentationObserver& observer() {
  static UIViewController::PresentationObserver* o = new UIViewController::PresentationObserver;
  return *o;
}
}  // namespace

objc::Class UIViewController::runtime_class() {
  objc::Class cls = objc::native_class("UIViewController");
  if (!cls->factory())
    cls->set_factory([](objc::Class c) -> objc::id {
      auto vc = std::make_shared<UIViewController>();
      vc->set_isa(c);
      return vc;
    });
  return cls;
}

std::shared_ptr<UIViewController> UIViewController::make() { return objc::make_native<UIViewController>(); }

void UIViewController::setTitle(std::optional<std::string> t) {
  m_title = t;
  m_title_assigned = true;
  navigationItem()->setTitle(std::move(t));
}

std::shared_ptr<UIView> UIViewController::view() {
  if (!m_view) m_view = UIView::make(UIScreen::mainScreen()->bounds());
  return m_view;
}

std::shared_ptr<UINavigationItem> UIViewController::navigationItem() {
  if (!m_item) m_item = UINavigationItem::make();
  return m_item;
}

void UIViewController::presentViewController(std::shared_ptr<UIViewController> vc, bool,
                                             std::function<void()> completion) {
  if (!vc) return;
  m_presented = vc;
  vc->m_presenting = std::static_pointer_cast<UIViewController>(shared_from_this());
  if (observer()) observer()(std::static_pointer_cast<UIViewController>(shared_from_this()), vc);
  if (completion) completion();
}

void UIViewController::dismissViewControllerAnimated(bool animated) {
  if (!m_presented) {
    if (auto presenter = m_presenting.lock()) presenter->dismissViewControllerAnimated(animated);
    return;
  }
  m_presented->m_presenting.reset();
  m_presented.reset();
}

void UIViewController::set_presentation_observer(PresentationObserver o) { observer() = std::move(o); }

objc::Class UINavigationController::runtime_class() {
  return objc::native_class("UINavigationController", UIViewController::runtime_class());
}

std::shared_ptr<UINavigationController> UINavigationController::make() {
  return objc::make_native<UINavigationController>();
}

void UINavigationController::pushViewController(std::shared_ptr<UIViewController> vc, bool) {
  if (!vc) return;
  vc->set_navigation_controller(std::static_pointer_cast<UINavigationController>(shared_from_this()));
  m_stack.push_back(std::move(vc));
  if (m_on_change) m_on_change();
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool) {
  if (m_stack.size() <= 1) return nullptr;
  auto top = m_stack.back();
  m_stack.pop_back();
  if (m_on_change) m_on_change();
  return top;
}

void UINavigationController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> list) {
  auto self = std::static_pointer_cast<UINavigationController>(shared_from_this());
  for (auto& vc : list)
    if (vc) vc->set_navigation_controller(self);
  m_stack = std::move(list);
  if (m_on_change) m_on_change();
}

}  // namespace px::platform::uikit
