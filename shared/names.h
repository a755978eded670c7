#pragma once
// The names both deliverables agree on. Neither deliverable includes anything
// of the other; they meet only through these.

namespace px::shared {

// Written by the settings panes, read by the tweak at start-up and on every reload.
inline constexpr const char* kSettingsFile = "/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist";
// The same file as the Battery Data pane reaches it.
inline constexpr const char* kSettingsFileMobile =
    "/var/mobile/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist";
// The last battery status, written whole by the tweak on every broadcast.
inline constexpr const char* kBatteryDataFile = "/User/Library/PylonexData.plist";
// Posted by the panes after each settings write.
inline constexpr const char* kSettingsChangedNotification = "com.zelmoraq.PylonexPro2Prefs/updatesettings";
// The battery history, written by the tweak alone, read by the panes and `simdevice history`.
inline constexpr const char* kHistoryStoreFile = "/var/mobile/Library/PylonexHistory.sqlite";
// Posted by the panes' "Clear History" button; the tweak clears the store in its callback.
inline constexpr const char* kClearHistoryNotification = "com.zelmoraq.PylonexPro2Prefs/clearhistory";
// The Activator listener of the info popup.
inline constexpr const char* kListenerName = "com.zelmoraq.pylonexpro2";
// Posted by SpringBoard on its default centre with the battery's status
// dictionary on every battery change; the tweak observes it.
inline constexpr const char* kBatteryStatusChangedNotification = "SBUIBatteryStatusChangedNotification";
// Opens the add-on's root pane in the Settings app.
inline constexpr const char* kSettingsURL = "prefs:root=PylonexPro2";

}  // namespace px::shared
