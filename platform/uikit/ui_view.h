#pragma once
// UIView: frame, alpha, background colour and subviews, kept as plain state
// that the host renders and tests inspect. Changes of animatable properties
// are reported to the animation recorder, which notes them while an animation
// block is open (UIView beginAnimations:context: ... commitAnimations).

#include <memory>
#include <string>
#include <vector>

#include "platform/objc/native_class.h"
#include "platform/uikit/ax_chart_descriptor.h"
#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_screen.h"

namespace px::platform::uikit {

class UIView : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIView> make(CGRect frame = {});

  CGRect frame() const { return m_frame; }
  void setFrame(CGRect f);
  double alpha() const { return m_alpha; }
  void setAlpha(double a);
  bool isHidden() const { return m_hidden; }
  void setHidden(bool h) { m_hidden = h; }
  std::shared_ptr<UIColor> backgroundColor() const { return m_background; }
  void setBackgroundColor(std::shared_ptr<UIColor> c) { m_background = std::move(c); }

  // The view keeps its subviews; a subview added twice moves to the end.
  void addSubview(std::shared_ptr<UIView> view);
  void removeFromSuperview();
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return m_subviews; }
  std::shared_ptr<UIView> superview() const { return m_superview.lock(); }

  // A drawn chart's data (UIAccessibility's accessibilityChartDescriptor); null for other views.
  std::shared_ptr<const AXChartDescriptor> accessibilityChartDescriptor() const { return m_chart; }
  void setAccessibilityChartDescriptor(std::shared_ptr<const AXChartDescriptor> d) { m_chart = std::move(d); }

  // Short description for the host's screens ("UIView", "UIImageView love.png").
  virtual std::string summary() const { return "UIView"; }

 protected:
  void property_changed(const std::string& property, double from, double to);

 private:
  CGRect m_frame;
  double m_alpha = 1.0;
  bool m_hidden = false;
  std::shared_ptr<UIColor> m_background;
  std::vector<std::shared_ptr<UIView>> m_subviews;
  std::weak_ptr<UIView> m_superview;
  std::shared_ptr<const AXChartDescriptor> m_chart;
};

}  // namespace px::platform::uikit
