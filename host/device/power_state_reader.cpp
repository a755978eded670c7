#include "host/device/power_state_reader.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "host/common/screen_state.h"
#include "platform/foundation/file_io.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/system/hardware_switches.h"

namespace px::host::device {
namespace {

using platform::system::Switch;

// The switches the load model reads, in the order of the reader's files.
constexpr Switch kRead[] = {Switch::wifi, Switch::bluetooth, Switch::location, Switch::airplane, Switch::brightness};

std::string switch_path(Switch which) {
  return platform::sim::DevicePath(std::string(platform::sim::kHardwareFolder) + "/" +
                                   std::string(platform::system::switch_info(which).name) + ".plist")
      .host();
}

}  // namespace

bool PowerStateReader::Watched::changed(const std::string& host_path) {
  auto now = platform::sim::FileIdentity::at(host_path, /*follow_links=*/true);
  bool same = path == host_path && identity.same_as(now);
  path = host_path;
  identity = now;
  return !same;
}

std::optional<long long> springboard_handled_generation() {
  static PowerStateReader::Watched file;
  static std::optional<long long> generation;
  if (std::string screen = common::screen_state_path("SpringBoard"); file.changed(screen)) {
    auto text = platform::foundation::read_whole_file(screen, 1u << 20);
    auto j = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    generation.reset();
    if (j.is_object() && j.contains("battery_generation") && j["battery_generation"].is_number_integer())
      generation = j["battery_generation"].get<long long>();
  }
  return generation;
}

PowerState PowerStateReader::read(Usage usage) {
  for (std::size_t i = 0; i < std::size(kRead); ++i) {
    if (!m_files[i].changed(switch_path(kRead[i]))) continue;
    switch (kRead[i]) {
      case Switch::wifi:
        m_last.wifi = platform::system::is_on(Switch::wifi);
        break;
      case Switch::bluetooth:
        m_last.bluetooth = platform::system::is_on(Switch::bluetooth);
        break;
      case Switch::location:
        m_last.location = platform::system::is_on(Switch::location);
        break;
      case Switch::airplane:
        m_last.airplane = platform::system::is_on(Switch::airplane);
        break;
      default:
        m_last.brightness = platform::system::level(Switch::brightness);
        break;
    }
  }
  // No SpringBoard (or no state from it yet): the screen is dark.
  if (std::string screen = common::screen_state_path("SpringBoard"); m_files[5].changed(screen)) {
    auto text = platform::foundation::read_whole_file(screen, 1u << 20);
    auto j = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    m_last.screen_on = j.is_object() && j.contains("locked") && j["locked"].is_boolean() && !j["locked"].get<bool>();
  }
  m_last.usage = usage;
  return m_last;
}

}  // namespace px::host::device
