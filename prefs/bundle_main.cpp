// The bundle's load-time initialiser: the Settings app finds the pane
// classes by name once dlopen has returned.

#include "prefs/panes.h"

namespace {
[[gnu::constructor]] void load_bundle() { px::prefs::register_classes(); }
}  // namespace
