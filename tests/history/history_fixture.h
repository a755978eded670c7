#pragma once
// A temporary device with the store's folder, and samples made to order.

#include <gtest/gtest.h>

#include <string>

#include "history/sample.h"
#include "history/store.h"
#include "tests/support/temp_device.h"

namespace px::history {

// 2026-01-01T00:00:00Z, a day boundary.
inline constexpr std::int64_t kEpoch = 1767225600;

// A full sample: every reading present.
history::Sample sample_at(std::int64_t time, std::int32_t level = 50, bool external = false);

class HistoryTest : public ::testing::Test {
 protected:
  std::string store_path() const { return device.path("/var/mobile/Library/PylonexHistory.sqlite"); }
  // Every sample in the store, through a fresh read-only connection.
  std::vector<history::Sample> stored();
  // Runs one SQL query on the store file directly and returns its first integer.
  long long query(const std::string& sql);

  tests::support::TempDevice device;
};

}  // namespace px::history
