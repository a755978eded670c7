#include "tweak/tweak_state.h"

namespace px::tweak {

constinit platform::foundation::Value notify;
constinit platform::foundation::Value statusMah;
constinit std::int32_t battCheck = 0;
constinit std::int32_t battFullCheck = 0;

void resetTweakState() {
  notify = platform::foundation::Value();
  statusMah = platform::foundation::Value();
  battCheck = 0;
  battFullCheck = 0;
}

}  // namespace px::tweak
