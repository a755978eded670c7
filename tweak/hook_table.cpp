#include "tweak/hook_table.h"

#include "platform/substrate/substrate.h"
#include "tweak/battery_status_observer.h"

objc::Imp<void> orig_prepareForUIUnlock;
objc::Imp<void, objc::id> orig_applicationDidFinishLaunching;
objc::Imp<void> orig_updateTimeItems;
objc::Imp<void> orig_resetTimeItemFormatter;
objc::Imp<void, objc::id> orig_updateBatteryState;

void clearSavedImplementations() {
  orig_prepareForUIUnlock = nullptr;
  orig_applicationDidFinishLaunching = nullptr;
  orig_updateTimeItems = nullptr;
  orig_resetTimeItemFormatter = nullptr;
  orig_updateBatteryState = nullptr;
}

void springBoard_applicationDidFinishLaunching(objc::id self, objc::SEL cmd, objc::id application) {
  registerBatteryStatusObserver();
  if (orig_applicationDidFinishLaunching) orig_applicationDidFinishLaunching(self, cmd, application);
}

void installHookTable() {
  using objc::id;
  using objc::Imp;
  using objc::sel;

  objc::Class lockScreen = objc::objc_getClass("SBLockScreenViewController");
  objc::class_addMethod<void, id, long>(lockScreen, sel("alertView:clickedButtonAtIndex:"),
                                        Imp<void, id, long>(lockScreen_alertViewClickedButtonAtIndex), "v@:@q");
  MSHookMessageEx<void>(lockScreen, sel("prepareForUIUnlock"), Imp<void>(lockScreen_prepareForUIUnlock),
                        &orig_prepareForUIUnlock);

  objc::Class springBoard = objc::objc_getClass("SpringBoard");
  MSHookMessageEx<void, id>(springBoard, sel("applicationDidFinishLaunching:"),
                            Imp<void, id>(springBoard_applicationDidFinishLaunching),
                            &orig_applicationDidFinishLaunching);

  objc::Class aggregator = objc::objc_getClass("SBStatusBarStateAggregator");
  MSHookMessageEx<void>(aggregator, sel("_updateTimeItems"), Imp<void>(aggregator_updateTimeItems),
                        &orig_updateTimeItems);
  MSHookMessageEx<void>(aggregator, sel("_resetTimeItemFormatter"), Imp<void>(aggregator_resetTimeItemFormatter),
                        &orig_resetTimeItemFormatter);

  objc::Class uiController = objc::objc_getClass("SBUIController");
  MSHookMessageEx<void, id>(uiController, sel("updateBatteryState:"),
                            Imp<void, id>(uiController_updateBatteryState), &orig_updateBatteryState);
}
