#pragma once
// The write-through protocol of the option panes: a row's value is read from
// the settings file (presence decides, not truth), and every change rewrites
// the whole file atomically and then posts the row's Darwin notification. A
// file that is there but cannot be read as a dictionary is kept aside
// ("<file>.unreadable-<UTC stamp>") before the new one is written.

#include "platform/foundation/value.h"
#include "platform/objc/runtime.h"

namespace pxprefs {

// readPreferenceValue: — the stored value under the row's `key`, else its `default`.
foundation::Value read_preference_value(const objc::id& specifier);
// setPreferenceValue:specifier: — a row without `key` writes nothing; a row
// without `PostNotification` posts nothing.
void set_preference_value(const foundation::Value& value, const objc::id& specifier);

// Adds both methods to a pane class.
void add_write_through(objc::Class cls);

}  // namespace pxprefs
