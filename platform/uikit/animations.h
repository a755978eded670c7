#pragma once
// UIView's block-less animations (beginAnimations:context:,
// setAnimationDuration:, commitAnimations). Nothing is drawn, so a property
// takes its final value at once; what an animation would have done is kept as
// a record (name, duration, the changes made between begin and commit) that
// the host and tests read.

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace px::platform::uikit {

class UIView;

struct PropertyChange {
  std::weak_ptr<UIView> view;
  std::string property;
  double from = 0, to = 0;
};

struct AnimationRecord {
  std::string name;
  double duration = 0.2;  // UIKit's default when none is set
  std::vector<PropertyChange> changes;
};

class Animations {
 public:
  static Animations& shared();

  // Blocks nest; only the outermost commit closes the record.
  void beginAnimations(std::string name, const void* context);
  void setAnimationDuration(double seconds);
  void commitAnimations();
  bool in_block() const { return m_depth > 0; }

  void record_change(const std::shared_ptr<UIView>& view, const std::string& property, double from, double to);

  // Committed animations, oldest first.
  const std::vector<AnimationRecord>& committed() const { return m_committed; }
  void reset_for_testing();

 private:
  int m_depth = 0;
  AnimationRecord m_open;
  std::vector<AnimationRecord> m_committed;
};

}  // namespace px::platform::uikit
