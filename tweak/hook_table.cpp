#include "tweak/hook_table.h"

#include "platform/substrate/substrate.h"
#include "tweak/battery_status_observer.h"

namespace pylonexpro2 {

constinit std::optional<objc::Imp<void>> orig_prepareForUIUnlock;
constinit std::optional<objc::Imp<void, objc::id>> orig_applicationDidFinishLaunching;
constinit std::optional<objc::Imp<void>> orig_updateTimeItems;
constinit std::optional<objc::Imp<void>> orig_resetTimeItemFormatter;
constinit std::optional<objc::Imp<void, objc::id>> orig_updateBatteryState;

namespace {

template <class R, class... A>
void replace(objc::Class cls, const char* selector, objc::Imp<R, A...> replacement,
             std::optional<objc::Imp<R, A...>>& slot) {
  objc::Imp<R, A...> saved;
  if (MSHookMessageEx<R, A...>(cls, objc::sel(selector), std::move(replacement), &saved) && saved)
    slot = std::move(saved);
}

}  // namespace

void clearSavedImplementations() {
  orig_prepareForUIUnlock.reset();
  orig_applicationDidFinishLaunching.reset();
  orig_updateTimeItems.reset();
  orig_resetTimeItemFormatter.reset();
  orig_updateBatteryState.reset();
}

void springBoard_applicationDidFinishLaunching(objc::id self, objc::SEL cmd, objc::id application) {
  registerBatteryStatusObserver();
  if (orig_applicationDidFinishLaunching) (*orig_applicationDidFinishLaunching)(self, cmd, application);
}

void installHookTable() {
  using objc::id;
  using objc::Imp;
  using objc::sel;

  objc::Class lockScreen = objc::objc_getClass("SBLockScreenViewController");
  objc::class_addMethod<void, id, long>(lockScreen, sel("alertView:clickedButtonAtIndex:"),
                                        Imp<void, id, long>(lockScreen_alertViewClickedButtonAtIndex), "v@:@q");
  replace<void>(lockScreen, "prepareForUIUnlock", Imp<void>(lockScreen_prepareForUIUnlock), orig_prepareForUIUnlock);

  objc::Class springBoard = objc::objc_getClass("SpringBoard");
  replace<void, id>(springBoard,
                    "applicationDidFinishLaunching:", Imp<void, id>(springBoard_applicationDidFinishLaunching),
                    orig_applicationDidFinishLaunching);

  objc::Class aggregator = objc::objc_getClass("SBStatusBarStateAggregator");
  replace<void>(aggregator, "_updateTimeItems", Imp<void>(aggregator_updateTimeItems), orig_updateTimeItems);
  replace<void>(aggregator, "_resetTimeItemFormatter", Imp<void>(aggregator_resetTimeItemFormatter),
                orig_resetTimeItemFormatter);

  objc::Class uiController = objc::objc_getClass("SBUIController");
  replace<void, id>(uiController, "updateBatteryState:", Imp<void, id>(uiController_updateBatteryState),
                    orig_updateBatteryState);
}

}  // namespace pylonexpro2
