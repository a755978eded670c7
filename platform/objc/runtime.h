#pragma once
// A typed stand-in for the Objective-C runtime: classes found by name,
// interned selectors, method tables that can be added to and swapped at run
// time, nil receivers that swallow messages, and named instance variables.
//
// Implementations are std::function objects stored with their exact C++
// signature; msg_send checks it, so a caller that guesses the wrong argument
// types gets a reported mismatch instead of undefined behaviour.

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace px::platform::objc {

struct SelectorName {
  std::string name;
};
// Interned: two selectors of the same name are the same pointer.
using SEL = const SelectorName*;
SEL sel(std::string_view name);
inline const std::string& sel_getName(SEL s) { return s->name; }

class ClassObject;
class Object;
using id = std::shared_ptr<Object>;
using Class = ClassObject*;

// Every implementation takes the receiver and the selector first, as on the device.
template <class R, class... A>
using Imp = std::function<R(id, SEL, A...)>;

struct Method {
  std::type_index signature{typeid(void)};
  std::any imp;  // holds an Imp<R, A...> of exactly `signature`
};

class Object : public std::enable_shared_from_this<Object> {
 public:
  explicit Object(Class isa = nullptr) : m_isa(isa) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Class isa() const { return m_isa; }
  void set_isa(Class isa) { m_isa = isa; }
  virtual bool is_class() const { return false; }

  // Storage of named instance variables; only the Ivar accessor touches it.
  std::any& ivar_slot(const std::string& name) { return m_ivars[name]; }
  bool has_ivar_value(const std::string& name) const { return m_ivars.count(name) != 0; }

 private:
  Class m_isa;
  std::unordered_map<std::string, std::any> m_ivars;
};

struct IvarDecl {
  std::string name;
  std::type_index type{typeid(void)};
};

class ClassObject : public Object {
 public:
  ClassObject(std::string name, Class superclass) : m_name(std::move(name)), m_superclass(superclass) {}
  bool is_class() const override { return true; }

  const std::string& name() const { return m_name; }
  Class superclass() const { return m_superclass; }

  // Own tables only; lookups through the chain are done by the free functions.
  std::unordered_map<SEL, Method>& instance_methods() { return m_instance_methods; }
  std::unordered_map<SEL, Method>& class_methods() { return m_class_methods; }
  std::vector<IvarDecl>& ivars() { return m_ivar_decls; }

  // Makes instances: the factory builds the C++ object behind the class, which
  // lets platform classes carry typed state while staying messageable.
  using Factory = std::function<id(Class)>;
  void set_factory(Factory f) { m_factory = std::move(f); }
  const Factory& factory() const { return m_factory; }

 private:
  std::string m_name;
  Class m_superclass;
  std::unordered_map<SEL, Method> m_instance_methods;
  std::unordered_map<SEL, Method> m_class_methods;
  std::vector<IvarDecl> m_ivar_decls;
  Factory m_factory;
};

// ---- classes -------------------------------------------------------------

// The live class of that name, or nullptr.
Class objc_getClass(std::string_view name);
// Creates an unregistered class; nullptr when the name is taken.
Class objc_allocateClassPair(Class superclass, std::string_view name);
// Registers the class; runs its own class method `load`, if it has one.
void objc_registerClassPair(Class cls);
// Convenience: allocate and register in one go (host classes, tests).
Class define_class(std::string_view name, Class superclass);
// Drops every class (test isolation only; nothing on a device does this).
void objc_reset_for_testing();

Class class_getSuperclass(Class cls);
Class object_getClass(const id& obj);
bool class_respondsToSelector(Class cls, SEL s);
bool object_isKindOfClass(const id& obj, Class cls);
// Allocates an instance through the nearest factory in the chain (plain Object otherwise).
id class_createInstance(Class cls);
// alloc + init as `new` does: `init` is sent when the class answers it.
id class_new(Class cls);

// ---- methods -------------------------------------------------------------

// Own method of exactly this class, or nullptr.
Method* class_getOwnMethod(Class cls, SEL s, bool class_side = false);
// Nearest method through the superclass chain, or nullptr.
Method* class_lookupMethod(Class cls, SEL s, bool class_side = false);

template <class R, class... A>
Method make_method(Imp<R, A...> imp) {
  Method m;
  m.signature = typeid(Imp<R, A...>);
  m.imp = std::move(imp);
  return m;
}

// Fails (false) when the class itself already has the selector; succeeds over
// an inherited one, which then stays the superclass's.
bool class_addMethod_raw(Class cls, SEL s, Method m, bool class_side = false);

template <class R, class... A>
bool class_addMethod(Class cls, SEL s, Imp<R, A...> imp, std::string_view /*types*/ = {}) {
  return class_addMethod_raw(cls, s, make_method<R, A...>(std::move(imp)));
}
template <class R, class... A>
bool class_addClassMethod(Class cls, SEL s, Imp<R, A...> imp) {
  return class_addMethod_raw(cls, s, make_method<R, A...>(std::move(imp)), true);
}

// ---- instance variables --------------------------------------------------

struct Ivar {
  Class owner = nullptr;
  std::string name;
  std::type_index type{typeid(void)};
  explicit operator bool() const { return owner != nullptr; }
};

bool class_addIvar(Class cls, std::string_view name, std::type_index type);
// Found through the superclass chain; an empty Ivar when no class declares it.
Ivar class_getInstanceVariable(Class cls, std::string_view name);

// Reads the variable from an instance; T{} when unset, of another type, or no ivar.
template <class T>
T object_getIvar(const id& obj, const Ivar& ivar) {
  if (!obj || !ivar || ivar.type != std::type_index(typeid(T))) return T{};
  if (!obj->has_ivar_value(ivar.name)) return T{};
  if (auto* v = std::any_cast<T>(&obj->ivar_slot(ivar.name))) return *v;
  return T{};
}
template <class T>
bool object_setIvar(const id& obj, const Ivar& ivar, T value) {
  if (!obj || !ivar || ivar.type != std::type_index(typeid(T))) return false;
  obj->ivar_slot(ivar.name) = std::move(value);
  return true;
}

// ---- messaging -----------------------------------------------------------

enum class SendStatus { ok, nil_receiver, unrecognized_selector, signature_mismatch };

// The status of the last message sent on this thread, for callers and tests
// that want to tell "answered" from "swallowed".
SendStatus last_send_status();
void set_last_send_status(SendStatus s);
// Logged once per (class, selector) to standard error: the device logs
// "unrecognized selector" too, but never crashes here.
void report_send_failure(const id& receiver, SEL s, SendStatus status);

template <class R, class... A>
R msg_send_typed(const id& self, SEL s, A... args) {
  if (!self) {
    set_last_send_status(SendStatus::nil_receiver);
    return R();  // not R{}: clang rejects void{} before C++23
  }
  Class cls = self->is_class() ? static_cast<ClassObject*>(self.get()) : self->isa();
  Method* m = class_lookupMethod(cls, s, self->is_class());
  if (!m) {
    set_last_send_status(SendStatus::unrecognized_selector);
    report_send_failure(self, s, SendStatus::unrecognized_selector);
    return R();
  }
  auto* imp = std::any_cast<Imp<R, A...>>(&m->imp);
  if (!imp) {
    set_last_send_status(SendStatus::signature_mismatch);
    report_send_failure(self, s, SendStatus::signature_mismatch);
    return R();
  }
  set_last_send_status(SendStatus::ok);
  Imp<R, A...> local = *imp;  // a hook installed during the call must not free the running one
  return local(self, s, std::move(args)...);
}

// Arguments are taken by their decayed types; pass objects as `id` (upcast
// first) so the signature matches what the implementation declared.
template <class R = void, class... A>
R msg_send(const id& self, SEL s, A&&... args) {
  return msg_send_typed<R, std::decay_t<A>...>(self, s, std::forward<A>(args)...);
}
template <class R = void, class... A>
R msg_send(Class cls, SEL s, A&&... args) {
  id self = cls ? std::static_pointer_cast<Object>(cls->shared_from_this()) : id{};
  return msg_send_typed<R, std::decay_t<A>...>(self, s, std::forward<A>(args)...);
}

// The class object as a receiver.
id class_as_id(Class cls);

template <class T>
std::shared_ptr<T> cast(const id& obj) {
  return std::dynamic_pointer_cast<T>(obj);
}

}  // namespace px::platform::objc
