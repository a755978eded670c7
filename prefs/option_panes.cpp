// The three option panes: AdvancedOptions (with the respring button, the
// Clear History button and their alerts), popUPInfo and PowerSavingMode. All three edit the settings file
// through the write-through protocol.

#include "platform/foundation/darwin_notify.h"
#include "platform/system/system_command.h"
#include "platform/uikit/ui_alert_view.h"
#include "prefs/bundle_paths.h"
#include "prefs/pane_support.h"
#include "prefs/panes.h"
#include "prefs/settings_write_through.h"
#include "shared/names.h"
#include "shared/settings_schema.h"

namespace px::prefs {
namespace {

void respring(const Pane& pane) {
  auto alert = platform::uikit::UIAlertView::make(
      "PylonexPro2", "To apply the current settings you need to respring your device, are you sure?", pane,
      std::string("Continue"), {"Close"});
  alert->show();
}

constexpr const char* kClearHistoryTitle = "Clear History";

// The tweak is the store's only writer: the pane asks it to clear, it does not touch the store.
void clear_history(const Pane& pane) {
  auto alert = platform::uikit::UIAlertView::make(kClearHistoryTitle,
                                                  "The battery history recorded on this device will be deleted. "
                                                  "This cannot be undone.",
                                                  pane, std::string("Cancel"), {"Clear"});
  alert->show();
}

void register_AdvancedOptions() {
  platform::objc::Class cls = define_pane(shared::kAdvancedOptionsPane);
  add_specifiers(cls, [](const platform::objc::id& self) {
    // A fresh button on every request, also once the list is loaded.
    if (Pane pane = as_pane(self)) install_bar_button(pane, kRespringImage, "Respring:");
    return load_specifiers_once(self, shared::kAdvancedOptionsPane);
  });
  platform::objc::class_addMethod<void, platform::objc::id, long>(
      cls, platform::objc::sel("alertView:didDismissWithButtonIndex:"),
      platform::objc::Imp<void, platform::objc::id, long>(
          [](platform::objc::id, platform::objc::SEL, platform::objc::id alert_view, long index) {
            auto alert = platform::objc::cast<platform::uikit::UIAlertView>(alert_view);
            if (alert && alert->title() == kClearHistoryTitle) {
              if (index == 1) platform::foundation::darwin::post(shared::kClearHistoryNotification);
              return;
            }
            // Only "Close" (1) leaves things as they are; "Continue" is the cancel button.
            if (index != 1) platform::system::system("killall -9 SpringBoard");
          }));
  add_action(cls, "Respring:", respring);
  add_action(cls, "ClearHistory:", clear_history);
  add_write_through(cls);
}

void register_plain_option_pane(const char* name) {
  platform::objc::Class cls = define_pane(name);
  std::string list = name;
  add_specifiers(cls, [list](const platform::objc::id& self) { return load_specifiers_once(self, list.c_str()); });
  add_write_through(cls);
}

}  // namespace

void register_option_panes() {
  register_AdvancedOptions();
  register_plain_option_pane(shared::kInfoPopupPane);
  register_plain_option_pane(shared::kPowerSavingPane);
}

}  // namespace px::prefs
