#pragma once
// AudioToolbox's system sounds. The vibrate id starts one vibration, counted
// in the device's hardware state as "vibrations"; the call returns at once.

#include <cstdint>

namespace px::platform::audiotoolbox {

using SystemSoundID = std::uint32_t;
inline constexpr SystemSoundID kSystemSoundID_Vibrate = 0xFFF;

void AudioServicesPlaySystemSound(SystemSoundID sound);

}  // namespace px::platform::audiotoolbox

using px::platform::audiotoolbox::AudioServicesPlaySystemSound;
