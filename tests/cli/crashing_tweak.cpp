// A tweak that takes SpringBoard down as soon as it is loaded: what a broken
// tweak does to a real device, used to drive the device into safe mode.

#include <cstdlib>

__attribute__((constructor)) static void crash_on_load() { std::abort(); }
