#pragma once
// UILabel: text, font, colours, alignment and line count.

#include <memory>
#include <string>

#include "platform/uikit/ui_font.h"
#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

enum NSTextAlignment { NSTextAlignmentLeft = 0, NSTextAlignmentCenter = 1, NSTextAlignmentRight = 2 };

class UILabel : public UIView {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UILabel> initWithFrame(CGRect frame);

  const std::string& text() const { return m_text; }
  void setText(std::string t) { m_text = std::move(t); }
  std::shared_ptr<UIFont> font() const { return m_font; }
  void setFont(std::shared_ptr<UIFont> f) { m_font = std::move(f); }
  std::shared_ptr<UIColor> textColor() const { return m_text_color; }
  void setTextColor(std::shared_ptr<UIColor> c) { m_text_color = std::move(c); }
  long textAlignment() const { return m_alignment; }
  void setTextAlignment(long a) { m_alignment = a; }
  long numberOfLines() const { return m_lines; }
  void setNumberOfLines(long n) { m_lines = n; }
  std::string summary() const override { return "UILabel " + m_text; }

 private:
  std::string m_text;
  std::shared_ptr<UIFont> m_font;
  std::shared_ptr<UIColor> m_text_color;
  long m_alignment = NSTextAlignmentLeft;
  long m_lines = 1;
};

}  // namespace px::platform::uikit
