#pragma once
// PSTableCell: a row view of a settings pane, and the base of custom header
// views. Subclasses are runtime classes whose instances are PSTableCell
// objects (the class factory makes them), so `initWithSpecifier:` of a
// custom view can initialise its base part in C++.

#include <memory>
#include <string>

#include "platform/uikit/ui_view.h"

namespace px::platform::preferences {

class PSTableCell : public uikit::UIView {
 public:
  static objc::Class runtime_class();

  // UITableViewCell's designated initialiser; false when the cell cannot be
  // initialised (the caller then returns nil).
  bool initWithStyle(long style, std::string reuse_identifier);
  long style() const { return m_style; }
  const std::string& reuseIdentifier() const { return m_reuse; }
  std::string summary() const override { return "PSTableCell"; }

  // Makes every initWithStyle: fail (tests of the nil path).
  static void set_fail_init_for_testing(bool fail);

 private:
  long m_style = 0;
  std::string m_reuse;
};

}  // namespace px::platform::preferences
