#include "tweak/tweak_state.h"

namespace pylonexpro2 {

constinit foundation::Value notify;
constinit foundation::Value statusMah;
constinit std::int32_t battCheck = 0;
constinit std::int32_t battFullCheck = 0;

void resetTweakState() {
  notify = foundation::Value();
  statusMah = foundation::Value();
  battCheck = 0;
  battFullCheck = 0;
}

}  // namespace pylonexpro2
