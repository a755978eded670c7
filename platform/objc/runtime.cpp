#include "platform/objc/runtime.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <unordered_set>

namespace px::platform::objc {
namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<std::string, std::unique_ptr<SelectorName>> selectors;
  // Classes live for the life of the process, as on the device; shared_ptr so
  // that a class can be handed out as an `id` receiver.
  std::map<std::string, std::shared_ptr<ClassObject>, std::less<>> classes;
  std::map<std::string, std::shared_ptr<ClassObject>, std::less<>> pending;
  std::vector<std::shared_ptr<ClassObject>> retired;  // kept alive after a reset
  std::set<std::pair<std::string, std::string>> reported;
};

Registry& registry() {
  static Registry* r = new Registry;  // never destroyed: hooks may run during exit
  return *r;
}

thread_local SendStatus t_last_status = SendStatus::ok;

}  // namespace

SEL sel(std::string_view name) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.selectors.find(std::string(name));
  if (it != r.selectors.end()) return it->second.get();
  auto owned = std::make_unique<SelectorName>(SelectorName{std::string(name)});
  SEL s = owned.get();
  r.selectors.emplace(std::string(name), std::move(owned));
  return s;
}

Class objc_getClass(std::string_view name) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.classes.find(name);
  return it == r.classes.end() ? nullptr : it->second.get();
}

Class objc_allocateClassPair(Class superclass, std::string_view name) {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  if (r.classes.count(name) || r.pending.count(name)) return nullptr;
  auto cls = std::make_shared<ClassObject>(std::string(name), superclass);
  Class raw = cls.get();
  r.pending.emplace(std::string(name), std::move(cls));
  return raw;
}

void objc_registerClassPair(Class cls) {
  if (!cls) return;
  {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.pending.find(cls->name());
    if (it == r.pending.end()) return;
    r.classes.emplace(it->first, it->second);
    r.pending.erase(it);
  }
  // +load runs once, for the class's own method only, as the loader does.
  if (class_getOwnMethod(cls, sel("load"), true)) msg_send<void>(cls, sel("load"));
}

Class define_class(std::string_view name, Class superclass) {
  Class cls = objc_allocateClassPair(superclass, name);
  if (cls) objc_registerClassPair(cls);
  return cls;
}

void objc_reset_for_testing() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  for (auto& [_, c] : r.classes) r.retired.push_back(c);
  for (auto& [_, c] : r.pending) r.retired.push_back(c);
  r.classes.clear();
  r.pending.clear();
  r.reported.clear();
}

Class class_getSuperclass(Class cls) { return cls ? cls->superclass() : nullptr; }

Class object_getClass(const id& obj) {
  if (!obj) return nullptr;
  return obj->isa();
}

Method* class_getOwnMethod(Class cls, SEL s, bool class_side) {
  if (!cls) return nullptr;
  auto& table = class_side ? cls->class_methods() : cls->instance_methods();
  auto it = table.find(s);
  return it == table.end() ? nullptr : &it->second;
}

Method* class_lookupMethod(Class cls, SEL s, bool class_side) {
  for (Class c = cls; c; c = c->superclass())
    if (Method* m = class_getOwnMethod(c, s, class_side)) return m;
  return nullptr;
}

bool class_respondsToSelector(Class cls, SEL s) { return class_lookupMethod(cls, s) != nullptr; }

bool object_isKindOfClass(const id& obj, Class cls) {
  for (Class c = object_getClass(obj); c; c = c->superclass())
    if (c == cls) return true;
  return false;
}

bool class_addMethod_raw(Class cls, SEL s, Method m, bool class_side) {
  if (!cls || !s) return false;
  auto& table = class_side ? cls->class_methods() : cls->instance_methods();
  return table.emplace(s, std::move(m)).second;
}

bool class_addIvar(Class cls, std::string_view name, std::type_index type) {
  if (!cls) return false;
  for (auto& d : cls->ivars())
    if (d.name == name) return false;
  cls->ivars().push_back(IvarDecl{std::string(name), type});
  return true;
}

Ivar class_getInstanceVariable(Class cls, std::string_view name) {
  for (Class c = cls; c; c = c->superclass())
    for (auto& d : c->ivars())
      if (d.name == name) return Ivar{c, d.name, d.type};
  return Ivar{};
}

id class_createInstance(Class cls) {
  if (!cls) return nullptr;
  for (Class c = cls; c; c = c->superclass())
    if (c->factory()) return c->factory()(cls);
  return std::make_shared<Object>(cls);
}

id class_new(Class cls) {
  id obj = class_createInstance(cls);
  if (obj && class_lookupMethod(cls, sel("init"))) return msg_send<id>(obj, sel("init"));
  return obj;
}

id class_as_id(Class cls) {
  if (!cls) return nullptr;
  return std::static_pointer_cast<Object>(cls->shared_from_this());
}

SendStatus last_send_status() { return t_last_status; }
void set_last_send_status(SendStatus s) { t_last_status = s; }

void report_send_failure(const id& receiver, SEL s, SendStatus status) {
  Class cls = receiver->is_class() ? static_cast<ClassObject*>(receiver.get()) : receiver->isa();
  std::string cname = cls ? cls->name() : "Object";
  auto& r = registry();
  {
    std::lock_guard lock(r.mutex);
    if (!r.reported.emplace(cname, s->name).second) return;
  }
  const char* what = status == SendStatus::signature_mismatch ? "signature mismatch" : "unrecognized selector";
  std::fprintf(stderr, "objc: %s %s%s sent to %s\n", what, receiver->is_class() ? "+" : "-", s->name.c_str(),
               cname.c_str());
}

}  // namespace px::platform::objc
