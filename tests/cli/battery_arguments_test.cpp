// `simdevice battery`'s command line, through the grammar the usage is made
// from, into the typed change the supervisor is sent.
#include "host/cli/battery_arguments.h"

#include <gtest/gtest.h>

namespace px::host::cli {
namespace {

using device::KeyEdit;
using device::kStateCharging;
using device::kStateFull;
using platform::foundation::Value;
using Kind = KeyEdit::Kind;

// The change, or the message of whichever step refused the line.
struct Outcome {
  std::optional<device::BatteryChange> change;
  std::string error;
};

Outcome parse(const std::vector<std::string>& words) {
  auto parsed = parse_args(battery_grammar(), words);
  if (!parsed.args) return {std::nullopt, parsed.error};
  auto change = battery_change_from_args(*parsed.args);
  if (!change) return {std::nullopt, change.message()};
  return {*change, {}};
}

TEST(BatteryArguments, AFullCommandLineKeepsItsOrder) {
  auto c = parse({"42%", "--state", "charging", "--set", "AdapterDetails.Watts=12", "--unset", "Serial", "--set",
                  "Description=a=b", "--reset", "--set=Cells.0=1.5", "--no-status"});
  ASSERT_TRUE(c.change) << c.error;
  EXPECT_DOUBLE_EQ(*c.change->level, 0.42);
  EXPECT_EQ(*c.change->state, kStateCharging);
  EXPECT_EQ(c.change->edits, (std::vector<KeyEdit>{{Kind::set, "AdapterDetails.Watts", Value(12)},
                                                   {Kind::unset, "Serial", {}},
                                                   {Kind::set, "Description", Value("a=b")},  // the first '=' splits
                                                   {Kind::reset, {}, {}},
                                                   {Kind::set, "Cells.0", Value(1.5)}}));
  EXPECT_TRUE(c.change->no_status);
  EXPECT_TRUE(c.change->resets());
}

TEST(BatteryArguments, NothingGivenChangesNothingAndTheLaterStateWins) {
  auto none = parse({});
  ASSERT_TRUE(none.change);
  EXPECT_FALSE(none.change->level);
  EXPECT_FALSE(none.change->state);
  EXPECT_TRUE(none.change->edits.empty());
  EXPECT_FALSE(none.change->no_status);
  auto twice = parse({"--state", "charging", "--state=full"});
  ASSERT_TRUE(twice.change);
  EXPECT_EQ(*twice.change->state, kStateFull);
}

TEST(BatteryArguments, MinusOneIsALevelNotAnOption) {
  auto c = parse({"--state", "full", "-1"});
  ASSERT_TRUE(c.change) << c.error;
  EXPECT_DOUBLE_EQ(*c.change->level, -1.0);
}

TEST(BatteryArguments, EveryRefusalNamesWhatIsWrong) {
  struct Case {
    std::vector<std::string> words;
    const char* named;
  };
  for (const Case& c : std::initializer_list<Case>{
           {{"--state", "boiling"}, "boiling"},
           {{"--state"}, "--state"},
           {{"--set", "Watts"}, "KEY=VALUE"},
           {{"--set", "A..B=1"}, "A..B"},
           {{"--set", ".A=1"}, ".A"},
           {{"--set", "=1"}, "bad key ''"},
           {{"--unset", "A."}, "A."},
           {{"--unset"}, "--unset"},
           {{"0.5", "0.6"}, "0.6"},
           {{"150%"}, "150%"},
           {{"-0.5"}, "-0.5"},
           {{"--no-status=yes"}, "--no-status"},
           {{"--frobnicate"}, "--frobnicate"},
       }) {
    auto outcome = parse(c.words);
    EXPECT_FALSE(outcome.change) << c.named;
    EXPECT_NE(outcome.error.find(c.named), std::string::npos) << outcome.error;
  }
}

TEST(BatteryArguments, TheUsageListsEveryOptionAndState) {
  std::string usage = synopsis(battery_grammar()) + "\n" + argument_help(battery_grammar());
  for (const char* word : {"[LEVEL]", "[--state STATE]", "[--set KEY=VALUE]...", "[--unset KEY]...", "[--no-status]",
                           "[--reset]", "unknown, unplugged, charging or full"})
    EXPECT_NE(usage.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace px::host::cli
