#pragma once
// PSListController: a settings pane, a list of rows built from specifiers.
// Pane classes are runtime subclasses of "PSListController" (made with
// objc_allocateClassPair); their instances are PSListController objects
// whose isa is the subclass, so the host sends them messages by selector:
//   specifiers                    Imp<px::platform::objc::id>  (a SpecifierArray, or nil)
//   viewWillAppear:               Imp<void, bool>
//   reload                        Imp<void>
//   readPreferenceValue:          Imp<px::platform::foundation::Value, px::platform::objc::id>
//   setPreferenceValue:specifier: Imp<void, px::platform::foundation::Value, px::platform::objc::id>
// The base class answers all five; a pane overrides what it needs.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/preferences/ps_specifier.h"
#include "platform/uikit/ui_view_controller.h"

namespace px::platform::preferences {

class PSListController : public uikit::UIViewController {
 public:
  static objc::Class runtime_class();
  // A controller of `cls` (a subclass of PSListController), initialised.
  static std::shared_ptr<PSListController> make_for(objc::Class cls);

  // The loaded specifier array, nil until a pane keeps one here.
  objc::id _specifiers;

  // Reads "<name>.plist" from the pane's bundle folder and builds one
  // specifier per item, each with `target` as its target; nothing when the
  // list cannot be read or is not a {title, items} dictionary.
  std::shared_ptr<SpecifierArray> loadSpecifiersFromPlistName(std::string_view name, const objc::id& target);

  // Asks the pane for its specifiers again and shows them (the rows are
  // rebuilt; values are asked afresh when they are shown).
  void reload();
  // The specifiers as last shown; the first call loads them through `specifiers`.
  std::shared_ptr<SpecifierArray> shown_specifiers();
  unsigned reload_count() const { return m_reloads; }

  // The bundle folder (a device path) that specifier lists are read from.
  const std::string& bundle_path() const { return m_bundle; }
  void set_bundle_path(std::string path) { m_bundle = std::move(path); }
  // The row that opened this pane (nothing for a root pane).
  std::shared_ptr<PSSpecifier> specifier() const { return m_specifier; }
  void set_specifier(std::shared_ptr<PSSpecifier> s) { m_specifier = std::move(s); }

  // Called after every reload (the host redraws its screen).
  static void set_reload_observer(std::function<void(PSListController&)> f);

 private:
  std::shared_ptr<SpecifierArray> m_shown;
  std::string m_bundle;
  std::shared_ptr<PSSpecifier> m_specifier;
  unsigned m_reloads = 0;
};

}  // namespace px::platform::preferences
