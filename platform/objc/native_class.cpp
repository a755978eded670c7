#include "platform/objc/native_class.h"

namespace px::platform::objc {

Class NSObject_class() {
  if (Class c = objc_getClass("NSObject")) return c;
  Class c = objc_allocateClassPair(nullptr, "NSObject");
  if (!c) return objc_getClass("NSObject");
  class_addMethod<id>(c, sel("init"), Imp<id>([](id self, SEL) { return self; }));
  class_addClassMethod<id>(c, sel("alloc"), Imp<id>([](id self, SEL) {
                             return class_createInstance(static_cast<ClassObject*>(self.get()));
                           }));
  class_addClassMethod<id>(c, sel("new"),
                           Imp<id>([](id self, SEL) { return class_new(static_cast<ClassObject*>(self.get())); }));
  objc_registerClassPair(c);
  return c;
}

Class native_class(std::string_view name, Class superclass) {
  if (Class c = objc_getClass(name)) return c;
  if (!superclass) superclass = NSObject_class();
  return define_class(name, superclass);
}

}  // namespace px::platform::objc
