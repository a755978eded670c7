#pragma once
// Activator: listeners registered under a name, and events delivered to the
// listener of a name. Delivery goes through msg_send, so a listener class
// built at run time answers `activator:receiveEvent:` (Imp<void, id, id>:
// the activator, then the event).
//
// Runtime face, for code that messages it:
//   +[LAActivator sharedInstance]            Imp<id>
//   -registerListener:forName:               Imp<void, id, std::string>
//   -listenerForName:                        Imp<id, std::string>

#include <map>
#include <memory>
#include <string>

#include "platform/objc/native_class.h"

namespace px::platform::activator {

class LAEvent : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<LAEvent> make(std::string name);

  const std::string& name() const { return m_name; }

 private:
  std::string m_name;
};

class LAActivator : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<LAActivator> sharedInstance();

  // A second registration under a name replaces the first; the listener is
  // retained for as long as it is registered.
  void registerListener(objc::id listener, const std::string& name);
  objc::id listenerForName(const std::string& name) const;

  // Sends the listener of `name` one event. Nothing (no event) when no
  // listener is registered under that name.
  std::shared_ptr<LAEvent> sendEvent(const std::string& name);

  void reset_for_testing() { m_listeners.clear(); }

 private:
  std::map<std::string, objc::id> m_listeners;
};

}  // namespace px::platform::activator
