#pragma once
// Cross-process checks poll until a condition holds, with a deadline generous
// enough for a loaded machine: the deadline only bounds a hang, it times nothing.

#include <chrono>
#include <thread>

namespace px::tests::support {

// True once `condition()` holds; false if it still does not after the deadline.
template <class F>
bool eventually(F&& condition, std::chrono::seconds patience = std::chrono::seconds(30)) {
  auto deadline = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

}  // namespace px::tests::support
