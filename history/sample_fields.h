#pragma once
// The readings of a sample, once: where each is kept in a Sample, its column
// in the store (which is also its name in the CSV header and the JSON
// export), its SQL type, its unit, where a broadcast's BatteryStatus holds it
// and how the text listing shows it. The store's binding and reading, the
// writer's insert, the readers' selects and the three exports all follow this
// table. Adding a reading is one row here, a member in Sample and one
// migration step adding its column (schema.cpp); a test checks the table
// against the schema those steps make.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "history/sample.h"

namespace px::history {

// Where a reading is kept in a Sample; its type says how it is stored
// (integer, 0/1 flag, real) and read back.
using SampleMember =
    std::variant<std::int64_t Sample::*, std::optional<std::int32_t> Sample::*, std::optional<bool> Sample::*,
                 std::optional<std::int64_t> Sample::*, std::optional<double> Sample::*>;

// How the text listing shows a reading that has a column of its own there.
enum class TextForm {
  none,        // not a column of its own (design capacity; charging)
  time,        // ISO 8601, UTC
  percent,     // "57%"
  charger,     // "on", "off" or "full": ExternalConnected with FullyCharged
  hundredths,  // a value kept in hundredths, shown with two decimals
  plain,       // the number as stored
};

struct SampleField {
  const char* column;      // the store's column, the CSV header's and JSON's name
  const char* sql_type;    // the column's type in the store
  const char* unit;        // of the stored value ("" for counts and flags)
  const char* status_key;  // the BatteryStatus key it is read from ("A.B": B inside dictionary A)
  SampleMember member;
  // Values a store may hold that read as this reading (a level of 400 does not).
  std::int64_t min = INT64_MIN, max = INT64_MAX;
  // The text listing's column: its heading, its width (0: the last column).
  TextForm text = TextForm::none;
  const char* heading = "";
  int width = 0;
  // Read for the History pane's figures (the rest read as absent there).
  bool in_overview = true;
};

// In column order. `level` is the device's level percent, not a status key;
// `time` falls back to the device clock when the status has no UpdateTime.
inline const std::array<SampleField, 13> kSampleFields = {{
    {"time", "INTEGER", "s", "UpdateTime", &Sample::time, INT64_MIN, INT64_MAX, TextForm::time, "time", 22},
    {"level", "INTEGER", "%", "", &Sample::level, 0, 100, TextForm::percent, "level", 7},
    {"charging", "INTEGER", "", "IsCharging", &Sample::charging, 0, 1, TextForm::none, "", 0, false},
    {"external", "INTEGER", "", "ExternalConnected", &Sample::external, 0, 1, TextForm::charger, "charger", 9},
    {"full", "INTEGER", "", "FullyCharged", &Sample::full, 0, 1},
    {"raw_capacity", "INTEGER", "mAh", "AppleRawCurrentCapacity", &Sample::raw_capacity, INT64_MIN, INT64_MAX,
     TextForm::plain, "raw mAh", 9},
    {"max_capacity", "INTEGER", "mAh", "MaxCapacity", &Sample::max_capacity, INT64_MIN, INT64_MAX, TextForm::plain,
     "max mAh", 9},
    {"design_capacity", "INTEGER", "mAh", "DesignCapacity", &Sample::design_capacity},
    {"cycles", "INTEGER", "", "CycleCount", &Sample::cycles, INT64_MIN, INT64_MAX, TextForm::plain, "cycles", 8},
    {"temperature", "INTEGER", "0.01 °C", "Temperature", &Sample::temperature, INT64_MIN, INT64_MAX,
     TextForm::hundredths, "temp °C", 9, false},
    {"voltage", "INTEGER", "mV", "Voltage", &Sample::voltage, INT64_MIN, INT64_MAX, TextForm::plain, "mV", 7, false},
    {"amperage", "INTEGER", "mA", "InstantAmperage", &Sample::amperage, INT64_MIN, INT64_MAX, TextForm::plain, "mA", 7,
     false},
    {"watts", "REAL", "W", "AdapterDetails.Watts", &Sample::watts, INT64_MIN, INT64_MAX, TextForm::plain, "W", 0},
}};

// "time, level, …": the columns in table order, as queries select them.
const std::string& sample_columns();
// The same, with those the History pane does not read as NULL.
const std::string& overview_columns();

}  // namespace px::history
