#include "platform/preferences/ps_table_cell.h"

namespace px::platform::preferences {
namespace {
bool g_fail_init = false;
}

objc::Class PSTableCell::runtime_class() {
  objc::Class cls = objc::native_class("PSTableCell", uikit::UIView::runtime_class());
  if (!cls->factory())
    cls->set_factory([](objc::Class c) -> objc::id {
      auto cell = std::make_shared<PSTableCell>();
      cell->set_isa(c);
      return cell;
    });
  return cls;
}

bool PSTableCell::initWithStyle(long style, std::string reuse_identifier) {
  if (g_fail_init) return false;
  m_style = style;
  m_reuse = std::move(reuse_identifier);
  return true;
}

void PSTableCell::set_fail_init_for_testing(bool fail) { g_fail_init = fail; }

}  // namespace px::platform::preferences
