#pragma once
// UIViewController and UINavigationController. A controller owns its view
// (made on first use) and its navigation item; a navigation controller keeps
// its stack of controllers. Presenting a controller modally hands it to the
// process's presentation observer (the host records share sheets that way).
//
// Runtime subclasses (the settings panes) get their instances from the class
// factory, so `make_for(cls)` builds a controller whose isa is that subclass.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/uikit/ui_navigation_item.h"
#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

class UINavigationController;

class UIViewController : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIViewController> make();

  // The controller's title; nothing (nil) clears the bar's text title.
  const std::optional<std::string>& title() const { return m_title; }
  void setTitle(std::optional<std::string> t);
  // True once setTitle: was called, even with nil (a cleared title stays cleared).
  bool title_assigned() const { return m_title_assigned; }

  std::shared_ptr<UIView> view();
  std::shared_ptr<UINavigationItem> navigationItem();
  std::shared_ptr<UINavigationController> navigationController() const { return m_navigation.lock(); }
  void set_navigation_controller(const std::shared_ptr<UINavigationController>& nav) { m_navigation = nav; }

  void presentViewController(std::shared_ptr<UIViewController> vc, bool animated, std::function<void()> completion);
  std::shared_ptr<UIViewController> presentedViewController() const { return m_presented; }
  std::shared_ptr<UIViewController> presentingViewController() const { return m_presenting.lock(); }
  // Takes down what this controller presents; called on the presented
  // controller itself, its presenter takes it down, as UIKit does.
  void dismissViewControllerAnimated(bool animated);

  using PresentationObserver = std::function<void(const std::shared_ptr<UIViewController>& presenter,
                                                  const std::shared_ptr<UIViewController>& presented)>;
  static void set_presentation_observer(PresentationObserver o);

 private:
  std::optional<std::string> m_title;
  bool m_title_assigned = false;
  std::shared_ptr<UIView> m_view;
  std::shared_ptr<UINavigationItem> m_item;
  std::weak_ptr<UINavigationController> m_navigation;
  std::shared_ptr<UIViewController> m_presented;
  std::weak_ptr<UIViewController> m_presenting;
};

class UINavigationController : public UIViewController {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UINavigationController> make();

  void pushViewController(std::shared_ptr<UIViewController> vc, bool animated);
  // The controller taken off, or nothing when only the root is left.
  std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
  void setViewControllers(std::vector<std::shared_ptr<UIViewController>> list);
  const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return m_stack; }
  std::shared_ptr<UIViewController> topViewController() const { return m_stack.empty() ? nullptr : m_stack.back(); }

  // Called after every push and pop (the host redraws its screen).
  void set_on_change(std::function<void()> f) { m_on_change = std::move(f); }

 private:
  std::vector<std::shared_ptr<UIViewController>> m_stack;
  std::function<void()> m_on_change;
};

}  // namespace px::platform::uikit
