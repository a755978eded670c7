#pragma once
// Platform classes are C++ types that are also runtime classes: instances
// carry typed state and answer messages. A native class is defined in the
// runtime on first use (and again after a test reset).

#include <memory>
#include <string_view>

#include "platform/objc/runtime.h"

namespace px::platform::objc {

// The root class. Its `init` returns the receiver; `new` allocates and inits.
Class NSObject_class();

// The runtime class `name`, defined under `superclass` (NSObject when null)
// the first time it is asked for.
Class native_class(std::string_view name, Class superclass = nullptr);

// Makes a native instance whose runtime class is T::class_name, defined on the fly.
template <class T, class... A>
std::shared_ptr<T> make_native(A&&... args) {
  auto obj = std::make_shared<T>(std::forward<A>(args)...);
  obj->set_isa(T::runtime_class());
  return obj;
}

}  // namespace px::platform::objc
