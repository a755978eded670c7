#pragma once
// A SpringBoard run inside the test process with the tweak in it: the test
// variant of the library (the shipped objects plus its test access) is
// started as loading it would start it, and every later run starts it again
// from its load-time state, so each test sees the tweak as freshly loaded
// into a fresh SpringBoard.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/springboard/springboard_host.h"
#include "host/springboard/springboard_state.h"
#include "platform/foundation/value.h"
#include "tests/support/temp_device.h"
#include "tweak/tweak_settings.h"

namespace px::tweak {

class TweakTest : public ::testing::Test {
 protected:
  // Settings are read when the tweak loads: write them first.
  void write_settings(const platform::foundation::Dictionary& settings);
  // Posts the settings notification and lets the run loop deliver it.
  void reload_settings();
  // Registers SpringBoard's classes, loads the tweak, and (optionally) launches.
  void start(bool launch = true, const std::function<void()>& before_tweak = {});
  // SpringBoard launches first; the tweak is loaded into it afterwards.
  void start_tweak_after_launch();
  // Ends this SpringBoard run and starts another on the same device.
  void restart(bool launch = true);

  // The battery entry the supervisor would write; handled as SpringBoard does.
  // `state`: 1 unplugged, 2 charging, 3 full.
  void set_battery(double level, const platform::foundation::Value& status = platform::foundation::Value(),
                   int state = 1);
  void broadcast(const std::string& name, const platform::foundation::Value& user_info);

  // The texts of the syslog lines written since the last call (or the start).
  std::vector<std::string> new_log_lines();
  std::vector<std::string> log_lines_containing(const std::string& needle);

  host::springboard::SpringBoardHost& host() { return *m_host; }
  host::springboard::SpringBoardState& sb() { return host::springboard::state(); }

  // The tweak's state, through its test access.
  static tweak::SettingsSnapshot& settings();
  static std::int32_t& battCheck();
  static std::int32_t& battFullCheck();
  static platform::foundation::Value& statusMah();
  static platform::foundation::Value& notify();

  tests::support::TempDevice m_device;
  std::unique_ptr<host::springboard::SpringBoardHost> m_host;
  std::int64_t m_generation = 0;
  std::size_t m_log_offset = 0;
};

platform::foundation::Dictionary default_status();

}  // namespace px::tweak
