// The battery: changing it by hand and recording what the device broadcasts.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "host/cli/battery_arguments.h"
#include "host/cli/command_entries.h"
#include "host/common/control_channel.h"
#include "host/common/device_verbs.h"
#include "host/common/level_percent_text.h"
#include "host/common/value_json.h"
#include "host/device/battery_change.h"
#include "host/device/power_model.h"
#include "host/status/device_status.h"
#include "platform/foundation/folder_watcher.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"

namespace px::host::cli {
namespace {

using Clock = std::chrono::steady_clock;

std::string level_text(double level) { return common::level_percent_text(level, "level unknown"); }

std::optional<long long> handled_generation() {
  auto reply =
      common::control_request(common::control_socket_path("SpringBoard"), words_of(common::verbs::Sync{}), 3000);
  if (reply && reply->status == 0) {
    try {
      return std::stoll(reply->out);
    } catch (...) {
    }
  }
  if (auto s = status::process_status("SpringBoard", 2000); s && (*s)["battery_generation"].is_number_integer())
    return (*s)["battery_generation"].get<long long>();
  return std::nullopt;
}

// Waits until SpringBoard has handled the battery entry of `generation`.
// SpringBoard answers "sync" only after handling every change already
// written, so its first answer settles it. Only while nothing answers (a
// respring under way) is it asked again: on each change of the device's
// /var/run (its pid file, its socket's neighbours), at the latest every 250 ms.
bool wait_for_battery_handled(long long generation, int timeout_ms) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  std::unique_ptr<platform::foundation::FolderWatcher> run_folder;
  while (true) {
    auto handled = handled_generation();
    if (handled) return *handled >= generation;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    if (!run_folder)
      run_folder = platform::foundation::FolderWatcher::create(platform::sim::DevicePath("/var/run").host(),
                                                               [](const std::vector<std::string>&) {})
                       .value_or(nullptr);
    platform::foundation::RunLoop::main().run_once(static_cast<int>(std::min<long long>(left, 250)));
  }
}

// A launchd battery reply, once SpringBoard has handled the change it made:
// its body, or the failure to report instead.
struct HandledReply {
  nlohmann::json body;
  long long generation = 0;
  std::optional<CommandResult> failure;
};

HandledReply await_battery_reply(const std::optional<common::Reply>& reply) {
  HandledReply handled;
  if (!reply) return {{}, 0, Context::failure("the device is not running (simdevice boot)")};
  if (reply->status != 0) return {{}, 0, CommandResult{reply->status, {}, reply->err + "\n"}};
  handled.body = nlohmann::json::parse(reply->out, nullptr, false);
  if (!handled.body.is_object()) handled.body = nlohmann::json::object();
  handled.generation = handled.body.value("generation", 0LL);
  if (!wait_for_battery_handled(handled.generation, 15000))
    handled.failure = Context::failure("SpringBoard did not handle the battery change (generation " +
                                       std::to_string(handled.generation) + ") within 15 s");
  return handled;
}

// Reports a launchd battery reply once SpringBoard has handled it.
CommandResult report_battery_change(const std::optional<common::Reply>& reply, const char* what) {
  HandledReply handled = await_battery_reply(reply);
  if (handled.failure) return *handled.failure;
  const nlohmann::json& j = handled.body;
  return {0,
          std::string(what) + ": " + level_text(j.value("level", -1.0)) + ", " + j.value("state", "unknown") +
              " (generation " + std::to_string(handled.generation) + ", handled by SpringBoard)\n",
          {}};
}

CommandResult change_battery(const ParsedArgs& args, Context& context) {
  auto change = battery_change_from_args(args);
  if (!change) return context.usage_error(change.message());
  return report_battery_change(
      common::control_request(common::control_socket_path("launchd"),
                              {"battery-change", common::json_text(device::battery_change_to_json(*change))}),
      "battery");
}

CommandResult plug(bool connected) {
  return report_battery_change(
      common::control_request(common::control_socket_path("launchd"), {connected ? "plug" : "unplug"}),
      connected ? "plugged in" : "unplugged");
}

// `usage NAME`: what the phone is doing, for the simulated battery's load model.
CommandResult set_usage(const ParsedArgs& args, Context& context) {
  const std::string& name = args.positionals[0];
  if (!device::parse_usage(name)) return context.usage_error("no usage '" + name + "' (" + device::usage_names() + ")");
  HandledReply handled =
      await_battery_reply(common::control_request(common::control_socket_path("launchd"), {"usage", name}));
  if (handled.failure) return *handled.failure;
  const nlohmann::json& j = handled.body;
  return {0,
          "usage: " + j.value("usage", name) + ", " + std::to_string(j.value("current_ma", 0LL)) + " mA (generation " +
              std::to_string(handled.generation) + ")\n",
          {}};
}

CommandResult record(const ParsedArgs& args, Context& context) {
  const std::string& file = args.positionals[0];
  long long count = -1;
  double seconds = -1;
  if (auto text = args.last("--count")) {
    auto n = parse_count(*text, 1'000'000'000);
    if (!n) return context.usage_error("--count takes a whole number, not '" + *text + "'");
    count = *n;
  }
  if (auto text = args.last("--seconds")) {
    auto s = parse_non_negative(*text);
    if (!s) return context.usage_error("--seconds takes a number of seconds, not '" + *text + "'");
    seconds = *s;
  }
  std::ofstream out(file, std::ios::trunc);
  if (!out) return Context::failure("cannot write " + file);
  auto start = Clock::now();
  long long last_generation = -1, written = 0;
  auto take = [&] {
    auto entry = platform::sim::battery_entry();
    long long generation = entry["Generation"].longLongValue();
    if (!entry.is_dictionary() || generation == last_generation) return;
    last_generation = generation;
    nlohmann::json line = {{"Time", std::chrono::duration<double>(Clock::now() - start).count()},
                           {"Level", entry["Level"].doubleValue()},
                           {"State", device::state_name(entry["State"].intValue())}};
    if (entry["Status"].is_dictionary()) line["Status"] = common::to_json(entry["Status"]);
    out << common::json_text(line) << "\n" << std::flush;
    ++written;
  };
  auto watcher = platform::foundation::FolderWatcher::create(
      platform::sim::DevicePath(platform::sim::kHardwareFolder).host(), [&](const std::vector<std::string>& names) {
        if (std::find(names.begin(), names.end(), platform::sim::kBatteryEntryName) != names.end()) take();
      });
  if (!watcher) return Context::failure(watcher.message());
  context.write(Stream::error, "Recording battery broadcasts into " + file + " (Ctrl-C to stop)\n");
  take();
  auto& loop = platform::foundation::RunLoop::main();
  while (!context.stop_requested() && (count < 0 || written < count)) {
    if (seconds >= 0 && std::chrono::duration<double>(Clock::now() - start).count() >= seconds) break;
    loop.run_once(200);  // short turns, so that Ctrl-C and --seconds are seen soon
  }
  return {
      0, "Recorded " + std::to_string(written) + " sample" + (written == 1 ? "" : "s") + " into " + file + "\n", {}};
}

}  // namespace

std::vector<Command> battery_commands() {
  Command battery{"battery", "changes the battery; returns once SpringBoard has handled it", battery_grammar(), true,
                  change_battery};
  Command record_command{"record", "records the device's battery broadcasts as a trace", {}, false, record};
  record_command.args.positionals = {{"FILE", "JSON lines; replay with boot --battery trace:FILE"}};
  record_command.args.options = {{"--count", "N", "stops after N samples"},
                                 {"--seconds", "S", "stops after S seconds"}};
  Command usage_command{"usage", "sets what the phone is doing, for the simulated battery's load", {}, true, set_usage};
  usage_command.args.positionals = {{"NAME", device::usage_names()}};
  usage_command.args.notes = {
      "The simulated battery (without rate=) draws the sum of what is on: the screen while unlocked, by brightness; "
      "Wi-Fi, Bluetooth, Location, the cellular radio unless in Airplane Mode; and this workload.",
      "The current is negative while discharging (mA, as InstantAmperage)."};
  return {
      std::move(battery),
      {"plug",
       "connects the charger of the simulated battery",
       {},
       true,
       [](const ParsedArgs&, Context&) { return plug(true); }},
      {"unplug",
       "removes the charger of the simulated battery",
       {},
       true,
       [](const ParsedArgs&, Context&) { return plug(false); }},
      std::move(record_command),
      std::move(usage_command),
  };
}

}  // namespace px::host::cli
