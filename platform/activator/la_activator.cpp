#include "platform/activator/la_activator.h"

namespace px::platform::activator {
namespace {
const char* kReceiveEvent = "activator:receiveEvent:";
}

objc::Class LAEvent::runtime_class() { return objc::native_class("LAEvent"); }

std::shared_ptr<LAEvent> LAEvent::make(std::string name) {
  auto e = objc::make_native<LAEvent>();
  e->m_name = std::move(name);
  return e;
}

objc::Class LAActivator::runtime_class() {
  if (objc::Class c = objc::objc_getClass("LAActivator")) return c;
  objc::Class c = objc::native_class("LAActivator");
  objc::class_addClassMethod<objc::id>(c, objc::sel("sharedInstance"), objc::Imp<objc::id>([](objc::id, objc::SEL) {
                                         return objc::id(sharedInstance());
                                       }));
  objc::class_addMethod<void, objc::id, std::string>(
      c, objc::sel("registerListener:forName:"),
      objc::Imp<void, objc::id, std::string>([](objc::id self, objc::SEL, objc::id listener, std::string name) {
        if (auto a = objc::cast<LAActivator>(self)) a->registerListener(std::move(listener), name);
      }));
  objc::class_addMethod<objc::id, std::string>(
      c, objc::sel("listenerForName:"),
      objc::Imp<objc::id, std::string>([](objc::id self, objc::SEL, std::string name) {
        auto a = objc::cast<LAActivator>(self);
        return a ? a->listenerForName(name) : objc::id{};
      }));
  return c;
}

std::shared_ptr<LAActivator> LAActivator::sharedInstance() {
  static std::shared_ptr<LAActivator> shared = objc::make_native<LAActivator>();
  // The runtime may have been reset (tests): the instance follows the live class.
  if (shared->isa() != runtime_class()) {
    shared->set_isa(runtime_class());
    shared->reset_for_testing();
  }
  return shared;
}

void LAActivator::registerListener(objc::id listener, const std::string& name) {
  if (!listener) {
    m_listeners.erase(name);
    return;
  }
  m_listeners[name] = std::move(listener);
}

objc::id LAActivator::listenerForName(const std::string& name) const {
  auto it = m_listeners.find(name);
  return it == m_listeners.end() ? objc::id{} : it->second;
}

std::shared_ptr<LAEvent> LAActivator::sendEvent(const std::string& name) {
  objc::id listener = listenerForName(name);
  if (!listener) return nullptr;
  auto event = LAEvent::make(name);
  objc::id self = shared_from_this();
  objc::msg_send<void>(listener, objc::sel(kReceiveEvent), self, objc::id(event));
  return event;
}

}  // namespace px::platform::activator
