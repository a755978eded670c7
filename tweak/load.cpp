// The shipped library's only way in: Substrate loads it into SpringBoard and
// its constructor starts the tweak. (The test variant of the library has the
// same objects without this file; tests start it through its test access.)

#include "tweak/start_up.h"

namespace {

__attribute__((constructor)) void pylonexpro2Loaded() { px::tweak::startTweak(); }

}  // namespace
