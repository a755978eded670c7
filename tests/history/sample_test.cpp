// A broadcast's status turned into a sample: what is absent stays absent.
#include "history/sample.h"

#include "history/sample_fields.h"
#include "history/schema.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
using px::history::sample_from_status;
using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;

Value full_status() {
  return Value(Dictionary{{"UpdateTime", 1767225600},
                          {"IsCharging", true},
                          {"ExternalConnected", true},
                          {"FullyCharged", false},
                          {"AppleRawCurrentCapacity", 1200},
                          {"MaxCapacity", 1500},
                          {"DesignCapacity", 1560},
                          {"CycleCount", 87},
                          {"Temperature", 3050},
                          {"Voltage", 4100},
                          {"InstantAmperage", -250},
                          {"AdapterDetails", Value(Dictionary{{"Watts", 12}})}});
}

TEST(SampleFromStatus, TakesEveryReadingAndTheStatusTime) {
  px::history::Sample s = sample_from_status(full_status(), 77, 1.0);
  EXPECT_EQ(s.time, 1767225600);
  EXPECT_EQ(s.level, 77);
  EXPECT_EQ(s.charging, true);
  EXPECT_EQ(s.external, true);
  EXPECT_EQ(s.full, false);
  EXPECT_EQ(s.raw_capacity, 1200);
  EXPECT_EQ(s.max_capacity, 1500);
  EXPECT_EQ(s.design_capacity, 1560);
  EXPECT_EQ(s.cycles, 87);
  EXPECT_EQ(s.temperature, 3050);
  EXPECT_EQ(s.voltage, 4100);
  EXPECT_EQ(s.amperage, -250);
  EXPECT_EQ(s.watts, 12.0);
  ASSERT_TRUE(s.health_percent());
  EXPECT_NEAR(*s.health_percent(), 96.15, 0.01);
}

TEST(SampleFromStatus, AbsentOrNonNumericReadingsStayAbsentNeverZero) {
  Value status(Dictionary{{"MaxCapacity", std::string("1500")},     // a string where a number belongs
                          {"CycleCount", Value(Dictionary{})},      // a container
                          {"Temperature", std::nan("")},            // not a number at all
                          {"AdapterDetails", std::string("none")},  // not a dictionary
                          {"IsCharging", std::string("Yes")}});
  px::history::Sample s = sample_from_status(status, std::nullopt, 1767225600.75);
  EXPECT_EQ(s.time, 1767225600) << "no UpdateTime: the device clock, whole seconds";
  px::history::Sample empty;
  empty.time = s.time;
  EXPECT_EQ(s, empty);
  EXPECT_FALSE(s.health_percent());
}

TEST(SampleFromStatus, LevelOutsidePercentRangeAndBadDesignCapacityAreAbsent) {
  Value status = full_status();
  EXPECT_FALSE(sample_from_status(status, 101, 0).level);
  EXPECT_FALSE(sample_from_status(status, -1, 0).level);
  Value zero_design(Dictionary{{"MaxCapacity", 1500}, {"DesignCapacity", 0}});
  EXPECT_FALSE(sample_from_status(zero_design, 50, 0).health_percent()) << "no division by zero";
  Value no_update(Dictionary{{"UpdateTime", 0}});
  EXPECT_EQ(sample_from_status(no_update, 50, 1000.0).time, 1000) << "a zero UpdateTime is no time";
}

TEST(Repeats, OnlyEqualReadingsWithinTheWindow) {
  px::history::Sample a = sample_from_status(full_status(), 50, 0);
  px::history::Sample b = a;
  b.time += 59;
  EXPECT_TRUE(px::history::repeats(a, b));
  b.time = a.time + 60;
  EXPECT_FALSE(px::history::repeats(a, b)) << "a minute later it is stored again";
  b.time = a.time - 5;
  EXPECT_FALSE(px::history::repeats(a, b)) << "a clock set back is never a repeat";
  b = a;
  b.time += 1;
  b.temperature = std::nullopt;
  EXPECT_FALSE(px::history::repeats(a, b)) << "a reading that disappears is a change";
}

// The field table and the migration steps describe one table: same columns,
// same order, same types.
TEST(SampleFields, AgreeWithTheSchemaTheMigrationStepsMake) {
  auto db = px::platform::sqlite::Database::open(":memory:", px::platform::sqlite::OpenMode::read_write_create);
  ASSERT_TRUE(db.ok());
  ASSERT_TRUE(px::history::migrate(*db).ok());
  auto columns = db->prepare("SELECT name, type FROM pragma_table_info('samples') ORDER BY cid");
  ASSERT_TRUE(columns.ok());
  std::size_t i = 0;
  for (; columns->step(); ++i) {
    ASSERT_LT(i, px::history::kSampleFields.size()) << "a column the table lacks: " << columns->column_text(0);
    EXPECT_EQ(columns->column_text(0), px::history::kSampleFields[i].column);
    EXPECT_EQ(columns->column_text(1), px::history::kSampleFields[i].sql_type);
  }
  EXPECT_EQ(i, px::history::kSampleFields.size());
}

}  // namespace
