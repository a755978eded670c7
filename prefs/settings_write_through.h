#pragma once
// The write-through protocol of the option panes: a row's value is read from
// the settings file (presence decides, not truth), and every change rewrites
// the whole file atomically and then posts the row's Darwin notification. A
// file that is there but cannot be read as a dictionary is kept aside
// ("<file>.unreadable-<UTC stamp>") before the new one is written.

#include "platform/foundation/value.h"
#include "platform/objc/runtime.h"

namespace px::prefs {

// readPreferenceValue: — the stored value under the row's `key`, else its `default`.
platform::foundation::Value read_preference_value(const platform::objc::id& specifier);
// setPreferenceValue:specifier: — a row without `key` writes nothing; a row
// without `PostNotification` posts nothing.
void set_preference_value(const platform::foundation::Value& value, const platform::objc::id& specifier);

// Adds both methods to a pane class.
void add_write_through(platform::objc::Class cls);

}  // namespace px::prefs
