#pragma once
// The tweak's process-wide state besides TweakSettings. Everything here lives
// until SpringBoard ends; a SpringBoard restart starts it afresh.

#include <cstdint>

#include "platform/foundation/value.h"

namespace px::tweak {

// The battery status being handled; nothing until the first broadcast.
extern platform::foundation::Value notify;
// "<capacity> mAh", refreshed at each time-items update while the capacity
// clock is on; nothing until the first such update.
extern platform::foundation::Value statusMah;
// Level percent at which the power-saving trigger last fired (0 at load).
extern std::int32_t battCheck;
// 100 once a full battery was seen in this run, else 0.
extern std::int32_t battFullCheck;

// Back to the values the library is loaded with.
void resetTweakState();

}  // namespace px::tweak
