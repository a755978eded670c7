#include "platform/audiotoolbox/audio_services.h"

#include "platform/system/hardware_switches.h"

namespace px::platform::audiotoolbox {

void AudioServicesPlaySystemSound(SystemSoundID sound) {
  // The simulated device has no speaker: only the vibration leaves a trace.
  if (sound != kSystemSoundID_Vibrate) return;
  system::set_count(system::Switch::vibrations, system::count(system::Switch::vibrations) + 1);
}

}  // namespace px::platform::audiotoolbox
