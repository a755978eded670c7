#pragma once
// The protocol PreferencesTableCustomView, adopted by a pane's custom header
// view (named by a group row's `headerCellClass`). Messages, through msg_send:
//   initWithSpecifier:                  Imp<px::platform::objc::id, px::platform::objc::id>  required; nil on failure
//   preferredHeightForWidth:            Imp<double, double>      optional
// The Settings app makes the view with class_createInstance and then sends
// initWithSpecifier:; a view stating no preferred height gets the default.

#include <optional>

#include "platform/objc/runtime.h"

namespace px::platform::preferences {

inline constexpr double kDefaultHeaderHeight = 44.0;

// True when the class answers the protocol's required message.
bool conformsToPreferencesTableCustomView(objc::Class cls);
// Allocates a view of `cls` and initialises it with `specifier`; nil when the
// class does not conform or its initialiser fails.
objc::id makeCustomView(objc::Class cls, const objc::id& specifier);
// The view's preferred height, or nothing when it states none.
std::optional<double> preferredHeightForWidth(const objc::id& view, double width);

}  // namespace px::platform::preferences
