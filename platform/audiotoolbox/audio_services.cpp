#include "platform/audiotoolbox/audio_services.h"

#include "platform/system/hardware_state.h"

namespace audiotoolbox {

void AudioServicesPlaySystemSound(SystemSoundID sound) {
  // The simulated device has no speaker: only the vibration leaves a trace.
  if (sound != kSystemSoundID_Vibrate) return;
  long long count = hardware::get("vibrations").longLongValue();
  hardware::set("vibrations", foundation::Value(count + 1));
}

}  // namespace audiotoolbox
