#include "platform/preferences/ps_specifier.h"

#include <utility>

namespace px::platform::preferences {
namespace {
const std::pair<const char*, CellKind> kCells[] = {
    {"PSGroupCell", CellKind::group},
    {"PSSwitchCell", CellKind::switch_cell},
    {"PSSliderCell", CellKind::slider},
    {"PSSegmentCell", CellKind::segment},
    {"PSLinkListCell", CellKind::link_list},
    {"PSTitleValueCell", CellKind::title_value},
    {"PSButtonCell", CellKind::button},
    {"PSLinkCell", CellKind::link},
    {"PSStaticTextCell", CellKind::static_text},
};

objc::SEL selector_of(const foundation::Value& v) {
  const std::string* s = v.string();
  return s && !s->empty() ? objc::sel(*s) : nullptr;
}
}  // namespace

CellKind cell_kind_from_name(std::string_view name) {
  for (auto& [n, k] : kCells)
    if (name == n) return k;
  return CellKind::static_text;
}

const char* cell_kind_short_name(CellKind kind) {
  switch (kind) {
    case CellKind::group:
      return "group";
    case CellKind::switch_cell:
      return "switch";
    case CellKind::slider:
      return "slider";
    case CellKind::segment:
      return "segment";
    case CellKind::link_list:
      return "list";
    case CellKind::title_value:
      return "value";
    case CellKind::button:
      return "button";
    case CellKind::link:
      return "link";
    case CellKind::static_text:
      return "text";
  }
  return "text";
}

objc::Class PSSpecifier::runtime_class() { return objc::native_class("PSSpecifier"); }

std::shared_ptr<PSSpecifier> PSSpecifier::from_item(const foundation::Value& item, const objc::id& target) {
  auto s = objc::make_native<PSSpecifier>();
  s->m_properties = item.is_dictionary() ? item : foundation::Value(foundation::Dictionary{});
  if (auto* label = item["label"].string()) s->m_name = *label;
  if (auto* cell = item["cell"].string()) s->m_cell = cell_kind_from_name(*cell);
  s->m_target = target;
  s->m_getter = selector_of(item["get"]);
  s->m_setter = selector_of(item["set"]);
  s->m_action = selector_of(item["action"]);
  if (auto* detail = item["detail"].string()) s->m_detail = *detail;
  // A row bound to a key and no accessors of its own goes through the pane's
  // preference methods, which decide where the value lives.
  if (item["key"].string() && !s->m_getter && !s->m_setter && s->m_cell != CellKind::group &&
      s->m_cell != CellKind::button && s->m_cell != CellKind::link) {
    s->m_getter = objc::sel("readPreferenceValue:");
    s->m_setter = objc::sel("setPreferenceValue:specifier:");
  }
  return s;
}

void PSSpecifier::setProperty(const foundation::Value& value, const std::string& key) {
  auto& dict = m_properties.mutable_dictionary();
  if (value.is_nil())
    dict.erase(key);
  else
    dict[key] = value;
}

foundation::Value PSSpecifier::performGetter() {
  objc::id t = target();
  if (!m_getter || !t) return {};
  return objc::msg_send<foundation::Value>(t, m_getter, objc::id(shared_from_this()));
}

bool PSSpecifier::performSetter(const foundation::Value& value) {
  objc::id t = target();
  if (!m_setter || !t) return false;
  objc::msg_send<void>(t, m_setter, foundation::Value(value), objc::id(shared_from_this()));
  return objc::last_send_status() == objc::SendStatus::ok;
}

bool PSSpecifier::performAction() {
  objc::id t = target();
  if (!m_action || !t) return false;
  objc::msg_send<void>(t, m_action, objc::id(shared_from_this()));
  return objc::last_send_status() == objc::SendStatus::ok;
}

objc::Class SpecifierArray::runtime_class() { return objc::native_class("NSArray"); }

std::shared_ptr<SpecifierArray> SpecifierArray::make(std::vector<std::shared_ptr<PSSpecifier>> items) {
  auto a = objc::make_native<SpecifierArray>();
  a->m_items = std::move(items);
  return a;
}

}  // namespace px::platform::preferences
