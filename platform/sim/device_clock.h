#pragma once
// The device's wall clock. It runs with the machine's clock, shifted by an
// offset that `simdevice clock` sets and, while a simulated battery runs at a
// speed, faster by that factor; offset and rate are kept in the device's
// /var/run/clock.plist so that every process of the device agrees on the time.
//
// The device has one clock: every reading first checks that the file is the
// one this process last read (one stat) and reads it again when it was
// replaced, so once a set has returned no process of the device reads the old
// time. A set also tells the platform (on_device_clock_set), which posts its
// clock_set notification for processes that act on a change (a timer due at
// the next minute).

#include <functional>

namespace px::platform::sim {

// Unix seconds on the device ([NSDate date]).
double device_now();
// Sets the device's time to `unix_seconds` from now on, for every process of
// the device (through the file), and announces the set. False when
// the time is not finite or the file could not be written (the clock is unchanged).
bool set_device_now(double unix_seconds);
// Device seconds per machine second from now on (1 is real time), continuing
// from the device's present time. A rate that is not positive and finite is
// ignored (false), as is one that could not be written.
bool set_device_clock_rate(double rate);
double device_clock_rate();
// Reads the clock file again now (a new device root in tests).
void reload_device_clock();
// Replaces the machine's clock (Unix seconds) for tests; an empty function
// restores it.
void set_machine_clock_for_testing(std::function<double()> now);
// What runs after every set written on a device (one with a root), outside
// the clock's lock: the platform posts its clock_set notification there.
void on_device_clock_set(std::function<void()> announce);

}  // namespace px::platform::sim
