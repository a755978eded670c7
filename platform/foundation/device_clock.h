#pragma once
// The device's wall clock. It runs with the machine's clock, shifted by an
// offset that `simdevice clock` sets and, while a simulated battery runs at a
// speed, faster by that factor; offset and rate are kept in the device's
// /var/run/clock.plist so that every process of the device agrees on the time.

#include <functional>

namespace foundation {

// Unix seconds on the device ([NSDate date]).
double device_now();
// Sets the device's time to `unix_seconds` from now on, for this process and
// (through the file) for processes started later or calling reload.
void set_device_now(double unix_seconds);
// Device seconds per machine second from now on (1 is real time), continuing
// from the device's present time. A rate that is not positive and finite is ignored.
void set_device_clock_rate(double rate);
double device_clock_rate();
// Reads the offset file again.
void reload_device_clock();
// Replaces the machine's clock (Unix seconds) for tests; an empty function
// restores it.
void set_machine_clock_for_testing(std::function<double()> now);

}  // namespace foundation
