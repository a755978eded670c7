#pragma once
// PSSpecifier: one row of a settings pane, made from one item of a specifier
// list. Its properties are the item's dictionary as written in the list.
//
// Getters, setters and actions are sent to the row's target by selector,
// through msg_send, with these signatures (a pane class must declare them so):
//   getter  (`get`, e.g. RawCapacity:)            Imp<px::platform::foundation::Value, px::platform::objc::id
//   /*specifier*/> setter  (`set`)                               Imp<void, px::platform::foundation::Value,
//   px::platform::objc::id /*specifier*/> action  (`action`, e.g. Respring:)            Imp<void,
//   px::platform::objc::id /*sender: the specifier*/>
// A row with `key` and no `get`/`set` uses the target's
//   readPreferenceValue:                          Imp<px::platform::foundation::Value, px::platform::objc::id
//   /*specifier*/> setPreferenceValue:specifier:                 Imp<void, px::platform::foundation::Value,
//   px::platform::objc::id /*specifier*/>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/objc/native_class.h"

namespace px::platform::preferences {

enum class CellKind { group, switch_cell, slider, segment, link_list, title_value, button, link, static_text };

// "PSSwitchCell" → switch_cell; an unknown name shows as static text.
CellKind cell_kind_from_name(std::string_view name);
// The short kind the Settings app reports: group, switch, slider, segment,
// list, value, button, link, text.
const char* cell_kind_short_name(CellKind kind);

class PSSpecifier : public objc::Object {
 public:
  static objc::Class runtime_class();
  // A specifier from one list item; `target` receives its getter, setter and action.
  static std::shared_ptr<PSSpecifier> from_item(const foundation::Value& item, const objc::id& target);

  const std::string& name() const { return m_name; }
  CellKind cell() const { return m_cell; }
  const foundation::Value& properties() const { return m_properties; }
  foundation::Value propertyForKey(std::string_view key) const { return m_properties[key]; }
  void setProperty(const foundation::Value& value, const std::string& key);
  objc::id target() const { return m_target.lock(); }
  void setTarget(const objc::id& target) { m_target = target; }
  objc::SEL getter() const { return m_getter; }
  objc::SEL setter() const { return m_setter; }
  objc::SEL action() const { return m_action; }
  // Class name of the pane a link row opens (`detail`); empty when none.
  const std::string& detailControllerClass() const { return m_detail; }

  // Sends the getter to the target: the value the row shows, or nothing when
  // the row has no getter or the target does not answer it.
  foundation::Value performGetter();
  // Sends the setter with `value`; false when the row has none.
  bool performSetter(const foundation::Value& value);
  // Sends the action with the specifier as sender; false when the row has none.
  bool performAction();

 private:
  std::string m_name;
  CellKind m_cell = CellKind::static_text;
  foundation::Value m_properties;
  std::weak_ptr<objc::Object> m_target;  // targets are not retained: the pane owns its specifiers
  objc::SEL m_getter = nullptr, m_setter = nullptr, m_action = nullptr;
  std::string m_detail;
};

// The specifier array a pane keeps in `_specifiers` (an NSArray of PSSpecifier).
class SpecifierArray : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<SpecifierArray> make(std::vector<std::shared_ptr<PSSpecifier>> items = {});

  const std::vector<std::shared_ptr<PSSpecifier>>& items() const { return m_items; }
  std::size_t count() const { return m_items.size(); }
  // The list's own `title`; nothing when it has none.
  const std::optional<std::string>& title() const { return m_title; }
  void set_title(std::optional<std::string> t) { m_title = std::move(t); }

 private:
  std::vector<std::shared_ptr<PSSpecifier>> m_items;
  std::optional<std::string> m_title;
};

}  // namespace px::platform::preferences
