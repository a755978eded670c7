#include "platform/uikit/animations.h"

#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

Animations& Animations::shared() {
  static Animations* a = new Animations;
  return *a;
}

void Animations::beginAnimations(std::string name, const void*) {
  if (m_depth++ == 0) m_open = AnimationRecord{std::move(name), 0.2, {}};
}

void Animations::setAnimationDuration(double seconds) {
  if (m_depth > 0) m_open.duration = seconds;
}

void Animations::commitAnimations() {
  if (m_depth == 0) return;
  if (--m_depth == 0) m_committed.push_back(std::move(m_open));
  // Bounded: a pane that animates on every visit must not grow the record forever.
  if (m_committed.size() > 256) m_committed.erase(m_committed.begin());
}

void Animations::record_change(const std::shared_ptr<UIView>& view, const std::string& property, double from,
                               double to) {
  if (m_depth > 0) m_open.changes.push_back(PropertyChange{view, property, from, to});
}

void Animations::reset_for_testing() {
  m_depth = 0;
  m_open = {};
  m_committed.clear();
}

}  // namespace px::platform::uikit
