#include "host/device/battery_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/device/sim_battery.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"
#include "tests/support/temp_device.h"

namespace px::host::device {
namespace {

using platform::foundation::Value;

class Driver : public ::testing::Test {
 protected:
  std::unique_ptr<BatteryDriver> make(const std::string& sim_options = "") {
    return std::make_unique<BatteryDriver>(
        std::make_unique<SimBattery>(*parse_sim_options(sim_options)), [this] { return elapsed; },
        [this] { return wall; });
  }
  static BatteryChange level(double level, std::optional<int> state = std::nullopt) {
    return {level, state, {}, false};
  }
  static BatteryChange edits(std::vector<KeyEdit> edits) {
    return {std::nullopt, std::nullopt, std::move(edits), false};
  }
  static KeyEdit set(const std::string& key, Value value) { return {KeyEdit::Kind::set, key, std::move(value)}; }
  static KeyEdit unset(const std::string& key) { return {KeyEdit::Kind::unset, key, {}}; }
  static KeyEdit reset() { return {KeyEdit::Kind::reset, {}, {}}; }
  Value entry() { return platform::sim::battery_entry(); }

  tests::support::TempDevice device;
  double elapsed = 0;
  double wall = 1'700'000'000;
};

TEST_F(Driver, EveryCommandIsOneWriteWithTheNextGeneration) {
  auto d = make();
  d->start();
  EXPECT_EQ(entry()["Generation"], Value(1));
  EXPECT_EQ(d->apply(level(0.42, kStateCharging)), 2);
  EXPECT_EQ(entry()["Generation"], Value(2));
  EXPECT_EQ(entry()["Level"], Value(0.42));
  EXPECT_EQ(entry()["State"], Value(kStateCharging));
  EXPECT_TRUE(entry()["Status"]["IsCharging"].boolValue());
  // The same command again still broadcasts: someone asked for it.
  EXPECT_EQ(d->apply(level(0.42, kStateCharging)), 3);
}

TEST_F(Driver, GenerationContinuesFromTheLastBoot) {
  make()->start();
  make()->apply(BatteryChange{});
  auto d = make();
  d->start();
  EXPECT_GT(d->generation(), 1);
  EXPECT_EQ(entry()["Generation"], Value(static_cast<long long>(d->generation())));
}

TEST_F(Driver, HandSetKeysSurviveTheModelRunning) {
  auto d = make("level=50,rate=-6/min");
  d->start();
  d->apply(edits({set("Serial", "HAND"), set("AdapterDetails.Watts", 12)}));
  elapsed = 60;
  ASSERT_TRUE(d->poll());
  EXPECT_EQ(entry()["Status"]["Serial"], Value("HAND"));
  EXPECT_EQ(entry()["Status"]["AdapterDetails"]["Watts"], Value(12));
  EXPECT_NEAR(entry()["Level"].doubleValue(), 0.44, 1e-9);
  d->apply(edits({reset()}));
  EXPECT_NE(entry()["Status"]["Serial"], Value("HAND"));
  EXPECT_TRUE(entry()["Status"]["AdapterDetails"].is_nil());  // unplugged: no charger
}

TEST_F(Driver, SetsUnsetsAndResetsApplyInTheOrderGiven) {
  auto d = make();
  d->start();
  Value original = entry()["Status"]["Serial"];
  ASSERT_TRUE(original.is_string());
  d->apply(edits({set("Serial", "X"), unset("Serial")}));  // once left Serial = X
  EXPECT_TRUE(entry()["Status"]["Serial"].is_nil());
  d->apply(edits({unset("Serial"), set("Serial", "Y")}));
  EXPECT_EQ(entry()["Status"]["Serial"], Value("Y"));
  d->apply(edits({set("CycleCount", 5), reset()}));  // nothing hand-set is left
  EXPECT_EQ(entry()["Status"]["Serial"], original);
  EXPECT_NE(entry()["Status"]["CycleCount"], Value(5));
  d->apply(edits({reset(), set("CycleCount", 7)}));
  EXPECT_EQ(entry()["Status"]["CycleCount"], Value(7));
  // Through the typed request the supervisor reads, the order is the same.
  auto typed = battery_change_from_json(battery_change_to_json(edits({set("Serial", "Z"), reset()})));
  ASSERT_TRUE(typed);
  d->apply(*typed);
  EXPECT_EQ(entry()["Status"]["Serial"], original);
  EXPECT_NE(entry()["Status"]["CycleCount"], Value(7));
}

TEST_F(Driver, NoStatusOnlyForTheNextBroadcast) {
  auto d = make();
  d->start();
  d->apply(BatteryChange{std::nullopt, std::nullopt, {}, true});
  EXPECT_TRUE(entry()["Status"].is_nil());
  EXPECT_TRUE(entry()["Level"].is_number());
  d->apply(BatteryChange{});
  EXPECT_TRUE(entry()["Status"].is_dictionary());
}

TEST_F(Driver, PollWritesOnlyWhenSomethingButTheTimeChanged) {
  auto d = make("rate=0");
  d->start();
  long long g = d->generation();
  wall += 500;
  elapsed += 500;
  EXPECT_FALSE(d->poll());
  EXPECT_EQ(d->generation(), g);
}

TEST_F(Driver, AFastBatteryWaitsForSpringBoardToHandleEachReading) {
  auto d = make("level=50,rate=-1/min,speed=1000");
  std::optional<long long> handled;
  d->wait_for([&] { return handled; });
  d->start();
  handled = 0;  // SpringBoard has not handled the first entry yet
  elapsed += 0.1;
  EXPECT_FALSE(d->poll()) << "the last reading is not handled yet";
  handled = d->generation();
  EXPECT_TRUE(d->poll());
  elapsed += 0.3;
  EXPECT_TRUE(d->poll()) << "a quarter second without an answer: write anyway";
  handled.reset();
  elapsed += 0.01;
  EXPECT_TRUE(d->poll()) << "no SpringBoard: nobody to wait for";
}

TEST_F(Driver, PlugConnectsTheChargerAndUnknownLevelIsKept) {
  auto d = make();
  d->start();
  ASSERT_TRUE(d->plug(true).ok());
  EXPECT_EQ(entry()["State"], Value(kStateCharging));
  EXPECT_TRUE(entry()["Status"]["AdapterDetails"].is_dictionary());
  d->apply(level(-1));
  EXPECT_EQ(entry()["Level"], Value(-1.0));
}

TEST_F(Driver, AWriteThatFailsReportsNoGeneration) {
  auto d = make();
  d->start();
  // Without a root folder for the entry the write cannot happen.
  std::filesystem::remove_all(device.path("/var/run/hardware"));
  std::filesystem::create_directories(device.path("/var/run"));
  std::ofstream(device.path("/var/run/hardware")) << "not a folder";
  EXPECT_EQ(d->apply(level(0.5)), 0);
}

}  // namespace
}  // namespace px::host::device
