#include "prefs/settings_write_through.h"

#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/preferences/ps_specifier.h"
#include "platform/sim/keep_aside.h"
#include "shared/names.h"

namespace pxprefs {

foundation::Value read_preference_value(const objc::id& specifier) {
  auto row_specifier = objc::cast<preferences::PSSpecifier>(specifier);
  if (!row_specifier) return {};
  foundation::Value settings = foundation::dictionaryWithContentsOfFile(sim::DevicePath(px::kSettingsFile));
  foundation::Value key = row_specifier->propertyForKey("key");
  if (auto* k = key.string()) {
    const foundation::Value& stored = settings[*k];
    if (!stored.is_nil()) return stored;
  }
  return row_specifier->propertyForKey("default");
}

void set_preference_value(const foundation::Value& value, const objc::id& specifier) {
  auto row_specifier = objc::cast<preferences::PSSpecifier>(specifier);
  if (!row_specifier) return;
  const foundation::Value key_value = row_specifier->propertyForKey("key");
  const std::string* key = key_value.string();
  if (!key || key->empty()) return;
  foundation::Value settings(foundation::Dictionary{});
  auto stored = foundation::plist::read_device_file(sim::DevicePath(px::kSettingsFile));
  if (stored && stored->dictionary())
    settings.mutable_dictionary() = *stored->dictionary();
  else if (auto aside = sim::keep_aside(sim::DevicePath(px::kSettingsFile), "unreadable"); !aside.report.empty())
    // What cannot be merged is not thrown away: the new file holds only this
    // change, and the old one stays beside it (nothing moves when it is absent).
    NSLog("%@", aside.report);
  if (value.is_nil())
    settings.mutable_dictionary().erase(*key);
  else
    settings.mutable_dictionary()[*key] = value;
  // The outcome of the write is not reported: the tweak rereads whatever the file holds.
  foundation::writeToFile(settings, sim::DevicePath(px::kSettingsFile), true);
  const foundation::Value notification = row_specifier->propertyForKey("PostNotification");
  if (auto* name = notification.string(); name && !name->empty())
    foundation::CFNotificationCenterPostNotification(foundation::CFNotificationCenterGetDarwinNotifyCenter(), *name,
                                                     nullptr, foundation::Value(), true);
}

void add_write_through(objc::Class cls) {
  using foundation::Value;
  objc::class_addMethod<Value, objc::id>(cls, objc::sel("readPreferenceValue:"),
                                         objc::Imp<Value, objc::id>([](objc::id, objc::SEL, objc::id row_specifier) {
                                           return read_preference_value(row_specifier);
                                         }));
  objc::class_addMethod<void, Value, objc::id>(
      cls, objc::sel("setPreferenceValue:specifier:"),
      objc::Imp<void, Value, objc::id>([](objc::id, objc::SEL, Value value, objc::id row_specifier) {
        set_preference_value(value, row_specifier);
      }));
}

}  // namespace pxprefs
