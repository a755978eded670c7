#include "tweak/hook_table.h"

#include "platform/substrate/substrate.h"
#include "tweak/battery_status_observer.h"

namespace px::tweak {

constinit std::optional<platform::objc::Imp<void>> orig_prepareForUIUnlock;
constinit std::optional<platform::objc::Imp<void, platform::objc::id>> orig_applicationDidFinishLaunching;
constinit std::optional<platform::objc::Imp<void>> orig_updateTimeItems;
constinit std::optional<platform::objc::Imp<void>> orig_resetTimeItemFormatter;
constinit std::optional<platform::objc::Imp<void, platform::objc::id>> orig_updateBatteryState;

namespace {

template <class R, class... A>
void replace(platform::objc::Class cls, const char* selector, platform::objc::Imp<R, A...> replacement,
             std::optional<platform::objc::Imp<R, A...>>& slot) {
  platform::objc::Imp<R, A...> saved;
  if (MSHookMessageEx<R, A...>(cls, platform::objc::sel(selector), std::move(replacement), &saved) && saved)
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

void springBoard_applicationDidFinishLaunching(platform::objc::id self, platform::objc::SEL cmd,
                                               platform::objc::id application) {
  registerBatteryStatusObserver();
  if (orig_applicationDidFinishLaunching) (*orig_applicationDidFinishLaunching)(self, cmd, application);
}

void installHookTable() {
  using platform::objc::id;
  using platform::objc::Imp;
  using platform::objc::sel;

  platform::objc::Class lockScreen = platform::objc::objc_getClass("SBLockScreenViewController");
  platform::objc::class_addMethod<void, id, long>(lockScreen, sel("alertView:clickedButtonAtIndex:"),
                                                  Imp<void, id, long>(lockScreen_alertViewClickedButtonAtIndex),
                                                  "v@:@q");
  replace<void>(lockScreen, "prepareForUIUnlock", Imp<void>(lockScreen_prepareForUIUnlock), orig_prepareForUIUnlock);

  platform::objc::Class springBoard = platform::objc::objc_getClass("SpringBoard");
  replace<void, id>(springBoard,
                    "applicationDidFinishLaunching:", Imp<void, id>(springBoard_applicationDidFinishLaunching),
                    orig_applicationDidFinishLaunching);

  platform::objc::Class aggregator = platform::objc::objc_getClass("SBStatusBarStateAggregator");
  replace<void>(aggregator, "_updateTimeItems", Imp<void>(aggregator_updateTimeItems), orig_updateTimeItems);
  replace<void>(aggregator, "_resetTimeItemFormatter", Imp<void>(aggregator_resetTimeItemFormatter),
                orig_resetTimeItemFormatter);

  platform::objc::Class uiController = platform::objc::objc_getClass("SBUIController");
  replace<void, id>(uiController, "updateBatteryState:", Imp<void, id>(uiController_updateBatteryState),
                    orig_updateBatteryState);
}

}  // namespace px::tweak
