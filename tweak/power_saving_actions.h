#pragma once
// The power-saving mode: every action whose flag is on in TweakSettings, in
// a fixed order (Wi-Fi, Location Services, Airplane Mode, Bluetooth,
// brightness, vibration, banner). Stateless: two calls act twice. When it
// runs is its callers' rule; it reads neither enablePSM nor the battery.

namespace px::tweak {

void powerSavingActions();

}  // namespace px::tweak
