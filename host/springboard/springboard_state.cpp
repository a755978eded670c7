#include "host/springboard/springboard_state.h"

namespace px::host::springboard {

SpringBoardState& state() {
  static SpringBoardState* s = new SpringBoardState;  // tweaks may touch it while the process exits
  return *s;
}

void reset_state() {
  auto& loop = platform::foundation::RunLoop::main();
  if (state().banner_replace_timer) loop.cancel_timer(state().banner_replace_timer);
  if (state().banner_dismiss_timer) loop.cancel_timer(state().banner_dismiss_timer);
  state() = SpringBoardState{};
}

platform::objc::id shared_instance(const char* class_name) {
  auto& shared = state().shared;
  auto it = shared.find(class_name);
  if (it != shared.end()) return it->second;
  platform::objc::Class cls = platform::objc::objc_getClass(class_name);
  if (!cls) return nullptr;
  platform::objc::id obj = platform::objc::class_new(cls);
  shared.emplace(class_name, obj);
  return obj;
}

}  // namespace px::host::springboard
