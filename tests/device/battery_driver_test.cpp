#include "host/device/battery_driver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host/device/sim_battery.h"
#include "platform/foundation/device_paths.h"
#include "platform/system/hardware_state.h"
#include "tests/support/temp_device.h"

namespace device {
namespace {

using foundation::Value;

class Driver : public ::testing::Test {
 protected:
  std::unique_ptr<BatteryDriver> make(const std::string& sim_options = "") {
    return std::make_unique<BatteryDriver>(
        std::make_unique<SimBattery>(*parse_sim_options(sim_options, nullptr)), [this] { return elapsed; },
        [this] { return wall; });
  }
  BatteryChange change(std::vector<std::string> args) { return *parse_battery_args(args, nullptr); }
  Value entry() { return hardware::battery_entry(); }

  testing_support::TempDevice device;
  double elapsed = 0;
  double wall = 1'700'000'000;
};

TEST_F(Driver, EveryCommandIsOneWriteWithTheNextGeneration) {
  auto d = make();
  d->start();
  EXPECT_EQ(entry()["Generation"], Value(1));
  EXPECT_EQ(d->apply(change({"0.42", "--state", "charging"})), 2);
  EXPECT_EQ(entry()["Generation"], Value(2));
  EXPECT_EQ(entry()["Level"], Value(0.42));
  EXPECT_EQ(entry()["State"], Value(kStateCharging));
  EXPECT_TRUE(entry()["Status"]["IsCharging"].boolValue());
  // The same command again still broadcasts: someone asked for it.
  EXPECT_EQ(d->apply(change({"0.42", "--state", "charging"})), 3);
}

TEST_F(Driver, GenerationContinuesFromTheLastBoot) {
  make()->start();
  make()->apply(change({}));
  auto d = make();
  d->start();
  EXPECT_GT(d->generation(), 1);
  EXPECT_EQ(entry()["Generation"], Value(static_cast<long long>(d->generation())));
}

TEST_F(Driver, HandSetKeysSurviveTheModelRunning) {
  auto d = make("level=50,rate=-6/min");
  d->start();
  d->apply(change({"--set", "Serial=HAND", "--set", "AdapterDetails.Watts=12"}));
  elapsed = 60;
  ASSERT_TRUE(d->poll());
  EXPECT_EQ(entry()["Status"]["Serial"], Value("HAND"));
  EXPECT_EQ(entry()["Status"]["AdapterDetails"]["Watts"], Value(12));
  EXPECT_NEAR(entry()["Level"].doubleValue(), 0.44, 1e-9);
  d->apply(change({"--reset"}));
  EXPECT_NE(entry()["Status"]["Serial"], Value("HAND"));
  EXPECT_TRUE(entry()["Status"]["AdapterDetails"].is_nil());  // unplugged: no charger
}

TEST_F(Driver, SetsUnsetsAndResetsApplyInTheOrderGiven) {
  auto d = make();
  d->start();
  Value original = entry()["Status"]["Serial"];
  ASSERT_TRUE(original.is_string());
  d->apply(change({"--set", "Serial=X", "--unset", "Serial"}));  // once left Serial = X
  EXPECT_TRUE(entry()["Status"]["Serial"].is_nil());
  d->apply(change({"--unset", "Serial", "--set", "Serial=Y"}));
  EXPECT_EQ(entry()["Status"]["Serial"], Value("Y"));
  d->apply(change({"--set", "CycleCount=5", "--reset"}));  // nothing hand-set is left
  EXPECT_EQ(entry()["Status"]["Serial"], original);
  EXPECT_NE(entry()["Status"]["CycleCount"], Value(5));
  d->apply(change({"--reset", "--set", "CycleCount=7"}));
  EXPECT_EQ(entry()["Status"]["CycleCount"], Value(7));
  // Through the typed request the supervisor reads, the order is the same.
  auto typed = battery_change_from_json(battery_change_to_json(change({"--set", "Serial=Z", "--reset"})), nullptr);
  ASSERT_TRUE(typed);
  d->apply(*typed);
  EXPECT_EQ(entry()["Status"]["Serial"], original);
  EXPECT_NE(entry()["Status"]["CycleCount"], Value(7));
}

TEST_F(Driver, NoStatusOnlyForTheNextBroadcast) {
  auto d = make();
  d->start();
  d->apply(change({"--no-status"}));
  EXPECT_TRUE(entry()["Status"].is_nil());
  EXPECT_TRUE(entry()["Level"].is_number());
  d->apply(change({}));
  EXPECT_TRUE(entry()["Status"].is_dictionary());
}

TEST_F(Driver, PollWritesOnlyWhenSomethingButTheTimeChanged) {
  auto d = make();
  d->start();
  long long g = d->generation();
  wall += 500;
  elapsed += 500;
  EXPECT_FALSE(d->poll());
  EXPECT_EQ(d->generation(), g);
}

TEST_F(Driver, PlugConnectsTheChargerAndUnknownLevelIsKept) {
  auto d = make();
  d->start();
  std::string error;
  ASSERT_TRUE(d->plug(true, &error));
  EXPECT_EQ(entry()["State"], Value(kStateCharging));
  EXPECT_TRUE(entry()["Status"]["AdapterDetails"].is_dictionary());
  d->apply(change({"-1"}));
  EXPECT_EQ(entry()["Level"], Value(-1.0));
}

TEST_F(Driver, AWriteThatFailsReportsNoGeneration) {
  auto d = make();
  d->start();
  // Without a root folder for the entry the write cannot happen.
  std::filesystem::remove_all(device.path("/var/run/hardware"));
  std::filesystem::create_directories(device.path("/var/run"));
  std::ofstream(device.path("/var/run/hardware")) << "not a folder";
  EXPECT_EQ(d->apply(change({"0.5"})), 0);
}

}  // namespace
}  // namespace device
