#include "tweak/tweak_state.h"

foundation::Value notify;
foundation::Value statusMah;
std::int32_t battCheck = 0;
std::int32_t battFullCheck = 0;

void resetTweakState() {
  notify = foundation::Value();
  statusMah = foundation::Value();
  battCheck = 0;
  battFullCheck = 0;
}
