#pragma once
// HookTable: the methods the tweak adds to or replaces in SpringBoard's
// classes, installed row by row in this order:
//   1 SBLockScreenViewController alertView:clickedButtonAtIndex:  added
//   2 SBLockScreenViewController prepareForUIUnlock               replaced, saved impl called last
//   3 SpringBoard                applicationDidFinishLaunching:   replaced, saved impl called last
//   4 SBStatusBarStateAggregator _updateTimeItems                 replaced, saved impl called first
//   5 SBStatusBarStateAggregator _resetTimeItemFormatter          replaced, saved impl called first
//   6 SBUIController             updateBatteryState:              replaced, saved impl called last
// A row whose class or method the running SpringBoard lacks is skipped
// silently; the other rows are installed all the same.

#include <optional>

#include "platform/objc/runtime.h"

namespace px::tweak {

// Saved implementations: written once by their row's installation, then only
// read; empty while their row is not installed. Constant-initialised, so the
// library constructor that fills them can never run before they are set up.
extern constinit std::optional<platform::objc::Imp<void>> orig_prepareForUIUnlock;
extern constinit std::optional<platform::objc::Imp<void, platform::objc::id>> orig_applicationDidFinishLaunching;
extern constinit std::optional<platform::objc::Imp<void>> orig_updateTimeItems;
extern constinit std::optional<platform::objc::Imp<void>> orig_resetTimeItemFormatter;
extern constinit std::optional<platform::objc::Imp<void, platform::objc::id>> orig_updateBatteryState;

// Start-up step 2.
void installHookTable();
// Empties every slot (the library's state at load).
void clearSavedImplementations();

// The replacements and the added method, one per row.
void lockScreen_alertViewClickedButtonAtIndex(platform::objc::id self, platform::objc::SEL cmd,
                                              platform::objc::id alert, long index);
void lockScreen_prepareForUIUnlock(platform::objc::id self, platform::objc::SEL cmd);
void springBoard_applicationDidFinishLaunching(platform::objc::id self, platform::objc::SEL cmd,
                                               platform::objc::id application);
void aggregator_updateTimeItems(platform::objc::id self, platform::objc::SEL cmd);
void aggregator_resetTimeItemFormatter(platform::objc::id self, platform::objc::SEL cmd);
void uiController_updateBatteryState(platform::objc::id self, platform::objc::SEL cmd, platform::objc::id argument);

}  // namespace px::tweak
