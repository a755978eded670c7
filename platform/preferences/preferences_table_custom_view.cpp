#include "platform/preferences/preferences_table_custom_view.h"

namespace px::platform::preferences {

bool conformsToPreferencesTableCustomView(objc::Class cls) {
  return cls && objc::class_respondsToSelector(cls, objc::sel("initWithSpecifier:"));
}

objc::id makeCustomView(objc::Class cls, const objc::id& specifier) {
  if (!conformsToPreferencesTableCustomView(cls)) return nullptr;
  objc::id raw = objc::class_createInstance(cls);
  return objc::msg_send<objc::id>(raw, objc::sel("initWithSpecifier:"), objc::id(specifier));
}

std::optional<double> preferredHeightForWidth(const objc::id& view, double width) {
  if (!view || !objc::class_respondsToSelector(objc::object_getClass(view), objc::sel("preferredHeightForWidth:")))
    return std::nullopt;
  return objc::msg_send<double>(view, objc::sel("preferredHeightForWidth:"), width);
}

}  // namespace px::platform::preferences
