#include "prefs/settings_write_through.h"

#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/preferences/ps_specifier.h"
#include "platform/sim/keep_aside.h"
#include "shared/names.h"

namespace px::prefs {

platform::foundation::Value read_preference_value(const platform::objc::id& specifier) {
  auto row_specifier = platform::objc::cast<platform::preferences::PSSpecifier>(specifier);
  if (!row_specifier) return {};
  platform::foundation::Value settings =
      platform::foundation::dictionaryWithContentsOfFile(platform::sim::DevicePath(shared::kSettingsFile));
  platform::foundation::Value key = row_specifier->propertyForKey("key");
  if (auto* k = key.string()) {
    const platform::foundation::Value& stored = settings[*k];
    if (!stored.is_nil()) return stored;
  }
  return row_specifier->propertyForKey("default");
}

void set_preference_value(const platform::foundation::Value& value, const platform::objc::id& specifier) {
  auto row_specifier = platform::objc::cast<platform::preferences::PSSpecifier>(specifier);
  if (!row_specifier) return;
  const platform::foundation::Value key_value = row_specifier->propertyForKey("key");
  const std::string* key = key_value.string();
  if (!key || key->empty()) return;
  platform::foundation::Value settings(platform::foundation::Dictionary{});
  auto stored = platform::foundation::plist::read_device_file(platform::sim::DevicePath(shared::kSettingsFile));
  if (stored && stored->dictionary())
    settings.mutable_dictionary() = *stored->dictionary();
  else if (auto aside = platform::sim::keep_aside(platform::sim::DevicePath(shared::kSettingsFile), "unreadable");
           !aside.report.empty())
    // What cannot be merged is not thrown away: the new file holds only this
    // change, and the old one stays beside it (nothing moves when it is absent).
    NSLog("%@", aside.report);
  if (value.is_nil())
    settings.mutable_dictionary().erase(*key);
  else
    settings.mutable_dictionary()[*key] = value;
  // The outcome of the write is not reported: the tweak rereads whatever the file holds.
  platform::foundation::writeToFile(settings, platform::sim::DevicePath(shared::kSettingsFile), true);
  const platform::foundation::Value notification = row_specifier->propertyForKey("PostNotification");
  if (auto* name = notification.string(); name && !name->empty())
    platform::foundation::CFNotificationCenterPostNotification(
        platform::foundation::CFNotificationCenterGetDarwinNotifyCenter(), *name, nullptr,
        platform::foundation::Value(), true);
}

void add_write_through(platform::objc::Class cls) {
  using platform::foundation::Value;
  platform::objc::class_addMethod<Value, platform::objc::id>(
      cls, platform::objc::sel("readPreferenceValue:"),
      platform::objc::Imp<Value, platform::objc::id>(
          [](platform::objc::id, platform::objc::SEL, platform::objc::id row_specifier) {
            return read_preference_value(row_specifier);
          }));
  platform::objc::class_addMethod<void, Value, platform::objc::id>(
      cls, platform::objc::sel("setPreferenceValue:specifier:"),
      platform::objc::Imp<void, Value, platform::objc::id>(
          [](platform::objc::id, platform::objc::SEL, Value value, platform::objc::id row_specifier) {
            set_preference_value(value, row_specifier);
          }));
}

}  // namespace px::prefs
