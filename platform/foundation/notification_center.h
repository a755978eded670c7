#pragma once
// NSNotificationCenter's default centre: per process, synchronous on the
// posting thread. Observers registered with no name see every notification.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/value.h"
#include "platform/objc/runtime.h"

namespace px::platform::foundation {

struct NSNotification {
  std::string name;
  objc::id object;
  Value userInfo;  // nothing when the poster gave none
};

class NSNotificationCenter {
 public:
  using Block = std::function<void(const NSNotification&)>;
  using Token = std::size_t;

  static NSNotificationCenter& defaultCenter();

  // No name: every notification. No queue exists: the block runs inside post.
  Token addObserverForName(std::optional<std::string> name, objc::id object, Block block);
  void postNotification(const NSNotification& n);
  void postNotificationName(std::string name, objc::id object = nullptr, Value userInfo = Value());

  void reset_for_testing() { m_observers.clear(); }
  std::size_t observer_count() const { return m_observers.size(); }

 private:
  struct Observer {
    Token token;
    std::optional<std::string> name;
    objc::id object;
    std::shared_ptr<const Block> block;  // shared so a post can hold it without copying the closure
  };
  std::vector<Observer> m_observers;
  Token m_next = 1;
};

}  // namespace px::platform::foundation
