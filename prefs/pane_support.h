#pragma once
// What every pane class shares: defining the runtime subclass of
// PSListController, the once-only specifier loading kept in `_specifiers`,
// and adding getters and actions with the signatures the Settings app sends.

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/value.h"
#include "platform/preferences/ps_list_controller.h"

namespace px::prefs {

using Pane = std::shared_ptr<platform::preferences::PSListController>;

// The registered subclass `name` of PSListController (made on first call).
platform::objc::Class define_pane(const char* name);
Pane as_pane(const platform::objc::id& self);

// Loads the named list with the pane as target the first time it succeeds
// and keeps it in `_specifiers`; later calls return the kept array. A nil
// result is not kept, so the next call tries again.
platform::objc::id load_specifiers_once(const platform::objc::id& self, const char* list_name);

// Adds a value getter: Imp<platform::foundation::Value, platform::objc::id /*specifier, ignored*/>.
void add_getter(platform::objc::Class cls, const char* selector,
                std::function<platform::foundation::Value(const Pane&)> getter);
// Adds an action: Imp<void, platform::objc::id /*sender, ignored*/>.
void add_action(platform::objc::Class cls, const char* selector, std::function<void(const Pane&)> action);
// Adds `specifiers`: Imp<platform::objc::id>.
void add_specifiers(platform::objc::Class cls, std::function<platform::objc::id(const platform::objc::id& self)> body);

// The 22 by 22 image button of the navigation bar, sending `action` to the
// pane on touch-down, made the pane's right bar button item.
void install_bar_button(const Pane& pane, const char* image_file, const char* action);

}  // namespace px::prefs
