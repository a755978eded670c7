#include "bench/workloads.h"

#include <benchmark/benchmark.h>
#include <plist/plist.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "bench/deliverables.h"
#include "bench/summary.h"
#include "host/common/device_layout.h"
#include "host/springboard/springboard_state.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/objc/runtime.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "shared/names.h"

namespace px::bench {

using platform::foundation::Array;
using platform::foundation::Dictionary;
using platform::foundation::Value;

Value realistic_status() {
  return Value(Dictionary{
      {"AdapterDetails", Dictionary{{"Amperage", 1000},
                                    {"Description", "usb host"},
                                    {"FamilyCode", -536854528},
                                    {"PMUConfiguration", 1000},
                                    {"Watts", 5},
                                    {"SharedSource", false},
                                    {"Voltage", 5000},
                                    {"IsWireless", false}}},
      {"AdapterInfo", 16384},
      {"Amperage", 420},
      {"AppleRawCurrentCapacity", 1500},
      {"AppleRawMaxCapacity", 1502},
      {"AtCriticalLevel", false},
      {"AtWarnLevel", false},
      {"AvgTimeToEmpty", 65535},
      {"AvgTimeToFull", 12},
      {"BatteryData", Dictionary{{"ChemID", 1629},
                                 {"CycleCount", 312},
                                 {"DesignCapacity", 1560},
                                 {"Flags", 640},
                                 {"QmaxCell0", 1621},
                                 {"Voltage", 4182},
                                 {"StateOfCharge", 96},
                                 {"ResScale", 200},
                                 {"MaxCapacity", 1502},
                                 {"LifetimeData", Dictionary{{"MaximumTemperature", 4710}, {"MinimumVoltage", 3011}}}}},
      {"BatteryInstalled", true},
      {"BootPathUpdated", 1},
      {"BootVoltage", 3905},
      {"CurrentCapacity", 96},
      {"CycleCount", 312},
      {"DesignCapacity", 1560},
      {"DesignCycleCount70", 500},
      {"ExternalChargeCapable", true},
      {"ExternalConnected", true},
      {"FirmwareSerialNumber", 1},
      {"FullyCharged", false},
      {"IOGeneralInterest", "IOCommand is not serializable"},
      {"IOProbeScore", 0},
      {"IOProviderClass", "IOPMPowerSource"},
      {"InstantAmperage", 433},
      {"InstantTimeToEmpty", 65535},
      {"IsCharging", true},
      {"Location", 0},
      {"Manufacturer", "A"},
      {"ManufacturerData", platform::foundation::Data{{0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}},
      {"MaxCapacity", 100},
      {"Model", "0003-A"},
      {"PostChargeWaitSeconds", 120},
      {"PostDischargeWaitSeconds", 120},
      {"Serial", "C0143350RHTFFNL4K"},
      {"Temperature", 3050},
      {"TimeRemaining", 12},
      {"UpdateTime", 1418000000},
      {"Voltage", 4182},
      {"CellVoltage", Array{4182}},
  });
}

Value full_settings() {
  Dictionary d;
  for (const char* key : {"debugMode", "enablePSM", "vibratePSM", "notificationPSM", "airplanePSM", "bluetoothPSM",
                          "locationPSM", "wifiPSM", "dimPSM", "capacityPOP", "designCapacityPOP", "cyclePOP",
                          "serialPOP", "wattsPOP", "amperagePOP", "statusbarMah", "Fahrenheit"})
    d[key] = Value(true);
  d["dimLevelPSM"] = Value(0.2);
  d["percentagePSM"] = Value(20.0);
  d["timemode"] = Value(1);
  d["fullChargeWarning"] = Value(1);
  return Value(std::move(d));
}

Workloads::Workloads() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "pxbench-XXXXXX").string();
  if (::mkdtemp(tmpl.data())) m_root = tmpl;
  if (auto made = host::common::make_device_layout(m_root); !made) throw std::runtime_error(made.message());
  platform::sim::set_device_root(m_root);
}

Workloads::~Workloads() {
  std::error_code ec;
  std::filesystem::remove_all(m_root, ec);
}

namespace {

std::string xml_bytes(const Value& v) {
  return *platform::foundation::plist::serialize(v, platform::foundation::plist::Format::xml);
}

void BM_BatteryBroadcastFloor(benchmark::State& state) {
  std::string data = xml_bytes(realistic_status());
  Value mirror(Dictionary{{"Capacity", 1500},
                          {"DesignCapacity", 1560},
                          {"CycleCount", 312},
                          {"Serial", "C0143350RHTFFNL4K"},
                          {"Watts", 5},
                          {"Amperage", 1000},
                          {"HasLaunchedOnce", true}});
  std::string defaults = *platform::foundation::plist::serialize(mirror, platform::foundation::plist::Format::binary);
  std::string data_file = platform::sim::DevicePath("/User/Library/PylonexData.plist").host();
  std::string defaults_file = platform::sim::DevicePath("/var/mobile/Library/Preferences/floor.plist").host();
  for (auto _ : state) {
    platform::sim::write_file_atomically(defaults_file, defaults);
    platform::sim::write_file_atomically(data_file, data);
  }
}
BENCHMARK(BM_BatteryBroadcastFloor);

void BM_OtherNotificationFloor(benchmark::State& state) {
  platform::foundation::NSNotificationCenter center;
  center.addObserverForName(std::nullopt, nullptr, [](const platform::foundation::NSNotification&) {});
  platform::foundation::NSNotification n{"UIApplicationDidBecomeActiveNotification", nullptr, Value()};
  for (auto _ : state) center.postNotification(n);
}
BENCHMARK(BM_OtherNotificationFloor);

void parse_with_libplist(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) {
    plist_t root = nullptr;
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    benchmark::DoNotOptimize(root);
    plist_free(root);
  }
}

void BM_PaneRowFloor(benchmark::State& state) { parse_with_libplist(state, xml_bytes(realistic_status())); }
BENCHMARK(BM_PaneRowFloor);

void BM_SettingsReloadFloor(benchmark::State& state) { parse_with_libplist(state, xml_bytes(full_settings())); }
BENCHMARK(BM_SettingsReloadFloor);

// Not a floor, a reference: the same parse after reading the file with the
// platform's reader, which every reader of a file pays. It shows how much of
// a path's ratio is the read alone.
void read_and_parse_with_libplist(benchmark::State& state, const Value& contents, std::string_view device_file) {
  platform::foundation::writeToFile(contents, platform::sim::DevicePath(device_file));
  std::string storage;
  for (auto _ : state) {
    auto file = platform::foundation::read_device_file(platform::sim::DevicePath(device_file),
                                                       platform::foundation::plist::max_file_bytes, std::move(storage));
    plist_t root = nullptr;
    plist_from_xml(file->data(), static_cast<uint32_t>(file->size()), &root);
    benchmark::DoNotOptimize(root);
    plist_free(root);
    storage = std::move(file).value();
  }
}
void BM_PaneRowReadAndParse(benchmark::State& state) {
  read_and_parse_with_libplist(state, realistic_status(), shared::kBatteryDataFile);
}
BENCHMARK(BM_PaneRowReadAndParse);
void BM_SettingsReloadReadAndParse(benchmark::State& state) {
  platform::foundation::Value settings = full_settings();
  settings.mutable_dictionary()["debugMode"] = Value(false);  // the same bytes BM_SettingsReload reads
  read_and_parse_with_libplist(state, settings, shared::kSettingsFile);
}
BENCHMARK(BM_SettingsReloadReadAndParse);

// The device clock: each reading checks (one lstat) that clock.plist is the
// file it last read, so a set in another process is never missed. The floor
// is the machine clock alone, what a reading cost when each process kept the
// clock it read first.
void BM_DeviceClockReading(benchmark::State& state) {
  platform::sim::set_device_now(1418000000);
  for (auto _ : state) benchmark::DoNotOptimize(platform::sim::device_now());
}
BENCHMARK(BM_DeviceClockReading);
void BM_DeviceClockFloor(benchmark::State& state) {
  for (auto _ : state) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    benchmark::DoNotOptimize(tv);
  }
}
BENCHMARK(BM_DeviceClockFloor);

void atomic_write(benchmark::State& state, bool durable) {
  platform::sim::set_durable_writes(durable);
  std::string data = xml_bytes(realistic_status());
  std::string file = platform::sim::DevicePath("/User/Library/PylonexData.plist").host();
  for (auto _ : state) platform::sim::write_file_atomically(file, data);
  platform::sim::set_durable_writes(true);
}
void BM_AtomicWriteDurable(benchmark::State& state) { atomic_write(state, true); }
void BM_AtomicWriteNoSync(benchmark::State& state) { atomic_write(state, false); }
BENCHMARK(BM_AtomicWriteDurable);
BENCHMARK(BM_AtomicWriteNoSync);

// ---- the system's own paths ---------------------------------------------

Deliverables* g_deliverables = nullptr;

void BM_BatteryBroadcast(benchmark::State& state) {
  if (!g_deliverables->tweak_loaded()) return state.SkipWithError("tweak not loaded");
  Value status = realistic_status();
  auto& center = platform::foundation::NSNotificationCenter::defaultCenter();
  // The device clock where the broadcasts' UpdateTime is: the history the
  // tweak keeps of them is recent, not years old to be thinned.
  platform::sim::set_device_now(1418000000);
  int i = 0;
  for (auto _ : state) {
    // A new UpdateTime each time, as real broadcasts carry, so nothing is skipped as unchanged.
    // The capacity moves too, so the mirrored defaults are saved each time.
    ++i;
    status.mutable_dictionary()["UpdateTime"] = Value(1418000000 + i);
    status.mutable_dictionary()["AppleRawCurrentCapacity"] = Value(1400 + i % 100);
    center.postNotificationName(shared::kBatteryStatusChangedNotification, nullptr, status);
  }
}
BENCHMARK(BM_BatteryBroadcast);

void BM_OtherNotification(benchmark::State& state) {
  if (!g_deliverables->tweak_loaded()) return state.SkipWithError("tweak not loaded");
  platform::foundation::NSNotification n{"UIApplicationDidBecomeActiveNotification", nullptr, Value()};
  auto& center = platform::foundation::NSNotificationCenter::defaultCenter();
  for (auto _ : state) center.postNotification(n);
}
BENCHMARK(BM_OtherNotification);

void BM_PaneRow(benchmark::State& state) {
  platform::foundation::writeToFile(realistic_status(), platform::sim::DevicePath(shared::kBatteryDataFile));
  platform::objc::id pane = platform::objc::class_new(platform::objc::objc_getClass("BatteryData"));
  if (!pane) return state.SkipWithError("settings bundle classes not registered");
  for (auto _ : state)
    benchmark::DoNotOptimize(
        platform::objc::msg_send<Value>(pane, platform::objc::sel("RawCapacity:"), platform::objc::id()));
}
BENCHMARK(BM_PaneRow);

void BM_SettingsReload(benchmark::State& state) {
  if (!g_deliverables->load_settings) return state.SkipWithError("loadSettings not found");
  platform::foundation::Value settings = full_settings();
  settings.mutable_dictionary()["debugMode"] = Value(false);  // the log line is not what is timed
  platform::foundation::writeToFile(settings, platform::sim::DevicePath(shared::kSettingsFile));
  for (auto _ : state) g_deliverables->load_settings();
}
BENCHMARK(BM_SettingsReload);

void time_items(benchmark::State& state, bool clock_on) {
  if (!g_deliverables->load_settings) return state.SkipWithError("loadSettings not found");
  platform::foundation::Value settings = full_settings();
  settings.mutable_dictionary()["statusbarMah"] = Value(clock_on);
  settings.mutable_dictionary()["debugMode"] = Value(false);
  platform::foundation::writeToFile(settings, platform::sim::DevicePath(shared::kSettingsFile));
  g_deliverables->load_settings();
  platform::objc::id aggregator = host::springboard::shared_instance("SBStatusBarStateAggregator");
  for (auto _ : state) platform::objc::msg_send<void>(aggregator, platform::objc::sel("_updateTimeItems"));
}
void BM_ClockOn(benchmark::State& state) { time_items(state, true); }
void BM_ClockOff(benchmark::State& state) { time_items(state, false); }
BENCHMARK(BM_ClockOn);
BENCHMARK(BM_ClockOff);

std::string kib(long v) { return v < 0 ? "n/a" : std::to_string(v) + " KiB"; }

}  // namespace

void Workloads::start_deliverables() {
  m_deliverables = std::make_unique<Deliverables>();
  g_deliverables = m_deliverables.get();
}

void Workloads::add_extras() {
  long without = resident_kib_after_broadcasts(false, 10000);
  long with_1k = resident_kib_after_broadcasts(true, 1000);
  long with_10k = resident_kib_after_broadcasts(true, 10000);
  extras().push_back({"RSS, no tweak, 10k bcasts", kib(without), "", "", "report"});
  extras().push_back({"RSS, tweak, 1k / 10k", kib(with_1k), kib(with_10k), "",
                      with_10k >= 0 && with_10k <= with_1k + 256 ? "no growth: ok" : "growth!"});
  extras().push_back({"tweak's resident cost", kib(with_10k - without), "", "", "report"});
  double ms = springboard_start_to_status_bar_ms();
  char buf[32];
  std::snprintf(buf, sizeof buf, ms < 0 ? "n/a" : "%.1f ms", ms);
  extras().push_back({"SpringBoard start->status bar", buf, "", "", "report"});
}

}  // namespace px::bench
