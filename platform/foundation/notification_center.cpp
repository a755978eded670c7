#include "platform/foundation/notification_center.h"

namespace px::platform::foundation {

NSNotificationCenter& NSNotificationCenter::defaultCenter() {
  static NSNotificationCenter* c = new NSNotificationCenter;
  return *c;
}

NSNotificationCenter::Token NSNotificationCenter::addObserverForName(std::optional<std::string> name, objc::id object,
                                                                     Block block) {
  Token t = m_next++;
  m_observers.push_back(
      Observer{t, std::move(name), std::move(object), std::make_shared<const Block>(std::move(block))});
  return t;
}

void NSNotificationCenter::postNotification(const NSNotification& n) {
  // Observers added while posting see the next notification, not this one.
  std::size_t count = m_observers.size();
  for (std::size_t i = 0; i < count && i < m_observers.size(); ++i) {
    const Observer& o = m_observers[i];
    if (o.name && *o.name != n.name) continue;
    if (o.object && o.object != n.object) continue;
    // Held for the call: the block may add an observer, which can move the list.
    std::shared_ptr<const Block> block = o.block;
    (*block)(n);
  }
}

void NSNotificationCenter::postNotificationName(std::string name, objc::id object, Value userInfo) {
  postNotification(NSNotification{std::move(name), std::move(object), std::move(userInfo)});
}

}  // namespace px::platform::foundation
