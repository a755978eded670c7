#pragma once
// The device's wall clock. It runs with the machine's clock, shifted by an
// offset that `simdevice clock` sets; the offset is kept in the device's
// /var/run/clock.plist so that every process of the device agrees on the time.

namespace foundation {

// Unix seconds on the device ([NSDate date]).
double device_now();
// Sets the device's time to `unix_seconds` from now on, for this process and
// (through the file) for processes started later or calling reload.
void set_device_now(double unix_seconds);
// Reads the offset file again.
void reload_device_clock();

}  // namespace foundation
