#pragma once
// UIButton: background image per control state, shows-touch flag, and
// target/action pairs registered for a mask of control events. An action is
// sent through msg_send as Imp<void, px::platform::objc::id /*sender: the button*/>, so a
// method added to the target's class at run time answers. Targets are not
// retained, as on the device.

#include <map>
#include <memory>
#include <vector>

#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

enum UIControlEvents : unsigned long {
  UIControlEventTouchDown = 1 << 0,
  UIControlEventTouchUpInside = 1 << 6,
};
enum UIControlState : unsigned long { UIControlStateNormal = 0, UIControlStateHighlighted = 1 };

class UIButton : public UIView {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIButton> initWithFrame(CGRect frame);

  void setBackgroundImage(std::shared_ptr<UIImage> image, unsigned long state);
  std::shared_ptr<UIImage> backgroundImageForState(unsigned long state) const;
  bool showsTouchWhenHighlighted() const { return m_shows_touch; }
  void setShowsTouchWhenHighlighted(bool on) { m_shows_touch = on; }

  void addTarget(objc::id target, objc::SEL action, unsigned long events);
  // Sends every action whose mask shares a bit with `events`; the number sent.
  int sendActionsForControlEvents(unsigned long events);
  // A finger going down and lifting inside: touch-down, then touch-up-inside.
  int tap();
  unsigned long registered_events() const;
  std::string summary() const override;

 private:
  struct Target {
    std::weak_ptr<objc::Object> target;
    objc::SEL action;
    unsigned long events;
  };
  std::map<unsigned long, std::shared_ptr<UIImage>> m_backgrounds;
  std::vector<Target> m_targets;
  bool m_shows_touch = false;
};

}  // namespace px::platform::uikit
