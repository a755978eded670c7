#include "platform/audiotoolbox/audio_services.h"

#include "platform/system/hardware_switches.h"

namespace audiotoolbox {

void AudioServicesPlaySystemSound(SystemSoundID sound) {
  // The simulated device has no speaker: only the vibration leaves a trace.
  if (sound != kSystemSoundID_Vibrate) return;
  hardware::set_count(hardware::Switch::vibrations, hardware::count(hardware::Switch::vibrations) + 1);
}

}  // namespace audiotoolbox
