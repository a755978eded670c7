#pragma once
// The info popup: the Activator listener class `pylonexpro2`. Its +load
// registers one listener under "com.zelmoraq.pylonexpro2"; each event shows
// the mirrored battery and charger figures chosen in TweakSettings, and the
// popup's "Enable PowerSavingMode" button runs powerSavingActions.

#include <string>

#include "platform/objc/runtime.h"

namespace px::tweak {

// The listener registered at load; kept for the life of the process.
extern platform::objc::id listener;

// Builds and registers the class (its +load runs on registration).
void registerListenerClass();

// The popup's message from SpringBoard's standard defaults as they stand.
std::string popupMessage();

}  // namespace px::tweak
