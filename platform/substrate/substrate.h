#pragma once
// Cydia Substrate's message hook over the typed runtime.

#include <type_traits>

#include "platform/objc/runtime.h"

namespace px::platform::substrate {

// Replaces `s` on `cls` with `replacement` and stores the previous
// implementation in `*saved`. On an inherited method the replacement is added
// to `cls` alone and the saved one is the superclass's. With no class, no such
// selector or a different signature nothing changes and `*saved` stays empty.
// The signature is taken from `saved`, so a lambda can be passed directly.
template <class R, class... A>
bool MSHookMessageEx(objc::Class cls, objc::SEL s, std::type_identity_t<objc::Imp<R, A...>> replacement,
                     objc::Imp<R, A...>* saved) {
  if (!cls || !s) return false;
  objc::Method* current = objc::class_lookupMethod(cls, s);
  if (!current) return false;
  auto* previous = std::any_cast<objc::Imp<R, A...>>(&current->imp);
  if (!previous) return false;
  objc::Imp<R, A...> old = *previous;
  if (objc::Method* own = objc::class_getOwnMethod(cls, s)) {
    own->imp = std::move(replacement);
  } else {
    objc::class_addMethod_raw(cls, s, objc::make_method<R, A...>(std::move(replacement)));
  }
  if (saved) *saved = std::move(old);
  return true;
}

}  // namespace px::platform::substrate

using px::platform::substrate::MSHookMessageEx;
