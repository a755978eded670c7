#pragma once
// The power-saving mode: every action whose flag is on in TweakSettings, in
// a fixed order (Wi-Fi, Location Services, Airplane Mode, Bluetooth,
// brightness, vibration, banner). Stateless: two calls act twice. When it
// runs is its callers' rule; it reads neither enablePSM nor the battery.

namespace pylonexpro2 {

void powerSavingActions();

}  // namespace pylonexpro2
