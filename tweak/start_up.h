#pragma once
// What happens while SpringBoard loads the library, in its fixed order: the
// listener class is registered (its +load registers the Activator listener),
// then step 1 (settings snapshot and its reload notification), then the
// battery history's clear notification, then step 2 (HookTable).

namespace px::tweak {

void startTweak();

}  // namespace px::tweak
