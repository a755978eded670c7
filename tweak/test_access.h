#pragma once
// The tweak as tests and benchmarks reach it: one versioned struct of
// references to its state and the calls a test plays SpringBoard with. It
// exists only in the test variant of the library (PylonexPro2_testing: the
// same objects plus tweak/test_access.cpp, without the load-time
// constructor); the shipped library exports nothing of it.

#include <cstdint>

#include "platform/foundation/value.h"
#include "tweak/tweak_settings.h"

namespace px::tweak {

struct TestAccess {
  // Raised whenever a member is added, removed or changes meaning.
  static constexpr int kVersion = 1;
  int version;

  SettingsSnapshot& settings;
  platform::foundation::Value& notify;
  platform::foundation::Value& statusMah;
  std::int32_t& battCheck;
  std::int32_t& battFullCheck;

  // What loading the library into SpringBoard does.
  void (&start)();
  // Back to the state the library is loaded with, then start: a later
  // SpringBoard run in the same test process sees a freshly loaded tweak.
  void (&restart)();
  // Rereads the settings file into the snapshot.
  void (&loadSettings)();
};

__attribute__((visibility("default"))) const TestAccess& test_access();

}  // namespace px::tweak
