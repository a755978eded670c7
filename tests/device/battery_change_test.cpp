#include "host/device/battery_change.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace px::host::device {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;

TEST(BatteryLevel, AcceptsFractionsPercentAndUnknown) {
  EXPECT_DOUBLE_EQ(*parse_level("0.42"), 0.42);
  EXPECT_DOUBLE_EQ(*parse_level("0"), 0.0);
  EXPECT_DOUBLE_EQ(*parse_level("1"), 1.0);
  EXPECT_DOUBLE_EQ(*parse_level("42%"), 0.42);
  EXPECT_DOUBLE_EQ(*parse_level("100%"), 1.0);
  EXPECT_DOUBLE_EQ(*parse_level("0%"), 0.0);
  EXPECT_DOUBLE_EQ(*parse_level("-1"), -1.0);
  EXPECT_DOUBLE_EQ(*parse_level("-1.0"), -1.0);
}

TEST(BatteryLevel, RefusesOutOfRangeAndJunk) {
  for (const char* bad :
       {"1.01", "42", "-0.5", "-2", "101%", "-1%", "%", "", "abc", "0.5x", " 0.5", "nan", "inf", "1e999"})
    EXPECT_FALSE(parse_level(bad)) << bad;
}

TEST(BatteryState, NamesReadBackAndTheChoicesListThemAll) {
  for (int s = kStateUnknown; s <= kStateFull; ++s) EXPECT_EQ(parse_state(state_name(s)), s);
  EXPECT_FALSE(parse_state("Charging"));
  EXPECT_EQ(state_choices(), "unknown, unplugged, charging or full");
}

TEST(TypedValue, IntegersRealsBooleansElseText) {
  EXPECT_EQ(parse_typed_value("12"), Value(12));
  EXPECT_EQ(parse_typed_value("-3"), Value(-3));
  EXPECT_EQ(parse_typed_value("12").kind(), Value::Kind::integer);
  EXPECT_EQ(parse_typed_value("1.5").kind(), Value::Kind::real);
  EXPECT_EQ(parse_typed_value("1.5"), Value(1.5));
  EXPECT_EQ(parse_typed_value("true"), Value(true));
  EXPECT_EQ(parse_typed_value("false"), Value(false));
  EXPECT_EQ(parse_typed_value("True"), Value("True"));  // only the lower-case words are booleans
  EXPECT_EQ(parse_typed_value("usb brick"), Value("usb brick"));
  EXPECT_EQ(parse_typed_value(""), Value(""));
  EXPECT_EQ(parse_typed_value("0x10"), Value("0x10"));
  // Beyond 64 bits an integer is still a number, not text.
  EXPECT_EQ(parse_typed_value("99999999999999999999").kind(), Value::Kind::real);
}

TEST(BatteryRequest, CarriesEverythingAndRefusesWhatTheCommandLineWould) {
  using Kind = KeyEdit::Kind;
  std::optional<BatteryChange> c = BatteryChange{-1.0,
                                                 kStateFull,
                                                 {{Kind::set, "A.B", Value(1.5)},
                                                  {Kind::reset, {}, {}},
                                                  {Kind::unset, "C", {}},
                                                  {Kind::set, "D", Value(true)},
                                                  {Kind::set, "E", Value("text")}},
                                                 true};
  auto back = battery_change_from_json(battery_change_to_json(*c));
  ASSERT_TRUE(back) << back.message();
  EXPECT_EQ(back->level, c->level);
  EXPECT_EQ(back->state, c->state);
  EXPECT_EQ(back->edits, c->edits);
  EXPECT_EQ(back->no_status, c->no_status);
  EXPECT_TRUE(back->resets());

  for (const char* bad :
       {R"([])", R"({})", R"({"edits": [], "level": 1.5})", R"({"edits": [], "level": "0.5"})",
        R"({"edits": [], "state": 9})", R"({"edits": [{"set": "A..B", "value": 1}]})", R"({"edits": [{"set": "A"}]})",
        R"({"edits": [{"set": "A", "value": [1]}]})", R"({"edits": [{"unset": 3}]})", R"({"edits": [{"frob": 1}]})",
        R"({"edits": [], "no_status": "yes"})"}) {
    auto refused = battery_change_from_json(nlohmann::json::parse(bad));
    ASSERT_FALSE(refused) << bad;
    EXPECT_NE(refused.message().find("bad battery request"), std::string::npos);
  }
}

Value sample_status() {
  return Dictionary{
      {"Serial", "X1"}, {"CycleCount", 5}, {"AdapterDetails", Dictionary{{"Watts", 5}, {"Amperage", 1000}}}};
}

TEST(Overrides, DottedKeysReachIntoNestedDictionaries) {
  BatteryOverrides o;
  o.set("AdapterDetails.Watts", 12);
  o.set("BatteryData.ChemID", 77);  // a parent the status lacks is made
  auto s = o.apply(sample_status());
  EXPECT_EQ(s["AdapterDetails"]["Watts"], Value(12));
  EXPECT_EQ(s["AdapterDetails"]["Amperage"], Value(1000));
  EXPECT_EQ(s["BatteryData"]["ChemID"], Value(77));
}

TEST(Overrides, StickUntilChangedAgain) {
  BatteryOverrides o;
  o.set("Serial", "HAND");
  o.unset("CycleCount");
  // Every later reading still carries them.
  for (int i = 0; i < 2; ++i) {
    auto s = o.apply(sample_status());
    EXPECT_EQ(s["Serial"], Value("HAND"));
    EXPECT_TRUE(s["CycleCount"].is_nil());
  }
  o.unset("Serial");
  o.set("CycleCount", 9);
  auto s = o.apply(sample_status());
  EXPECT_TRUE(s["Serial"].is_nil());
  EXPECT_EQ(s["CycleCount"], Value(9));
}

TEST(Overrides, SettingInsideARemovedDictionaryBringsItBack) {
  BatteryOverrides o;
  o.unset("AdapterDetails");
  EXPECT_TRUE(o.apply(sample_status())["AdapterDetails"].is_nil());
  o.set("AdapterDetails.Watts", 18);
  auto s = o.apply(sample_status());
  EXPECT_EQ(s["AdapterDetails"]["Watts"], Value(18));
  EXPECT_EQ(s["AdapterDetails"]["Amperage"], Value(1000));
}

TEST(Overrides, RemovingAParentDropsTheChildrenSetBefore) {
  BatteryOverrides o;
  o.set("AdapterDetails.Watts", 18);
  o.unset("AdapterDetails");
  EXPECT_TRUE(o.apply(sample_status())["AdapterDetails"].is_nil());
}

TEST(Overrides, UnsettingAMissingKeyOrReplacingANonDictionaryIsHarmless) {
  BatteryOverrides o;
  o.unset("Nope.Deeper");
  o.set("Serial.Part", 1);  // Serial was text: it becomes a dictionary
  auto s = o.apply(sample_status());
  EXPECT_EQ(s["Serial"]["Part"], Value(1));
  EXPECT_EQ(s["CycleCount"], Value(5));
}

}  // namespace
}  // namespace px::host::device
