#include "host/device/power_state_reader.h"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "host/common/screen_state.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/system/hardware_state.h"

namespace device {
namespace {

constexpr const char* kSwitches[] = {"wifi", "bluetooth", "location", "airplane", "brightness"};

std::string switch_path(const char* name) {
  return foundation::device_path(std::string(hardware::kHardwareFolder) + "/" + name + ".plist");
}

bool flag(const foundation::Value& v, bool fallback) {
  if (const bool* b = v.boolean()) return *b;
  if (const std::int64_t* i = v.integer()) return *i != 0;
  return fallback;
}

}  // namespace

bool PowerStateReader::Watched::changed(const std::string& host_path) {
  struct stat st {};
  bool there = ::stat(host_path.c_str(), &st) == 0;
  if (!there) st = {};
  bool same = path == host_path && device == st.st_dev && inode == st.st_ino && modified.tv_sec == st.st_mtim.tv_sec &&
              modified.tv_nsec == st.st_mtim.tv_nsec && size == (there ? st.st_size : -1);
  path = host_path;
  device = st.st_dev;
  inode = st.st_ino;
  modified = st.st_mtim;
  size = there ? st.st_size : -1;
  return !same;
}

std::optional<long long> springboard_handled_generation() {
  static PowerStateReader::Watched file;
  static std::optional<long long> generation;
  if (std::string screen = host::screen_state_path("SpringBoard"); file.changed(screen)) {
    auto text = foundation::read_whole_file(screen, 1u << 20);
    auto j = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    generation.reset();
    if (j.is_object() && j.contains("battery_generation") && j["battery_generation"].is_number_integer())
      generation = j["battery_generation"].get<long long>();
  }
  return generation;
}

PowerState PowerStateReader::read(Usage usage) {
  PowerState defaults;
  for (std::size_t i = 0; i < std::size(kSwitches); ++i) {
    if (!m_files[i].changed(switch_path(kSwitches[i]))) continue;
    foundation::Value v = hardware::get(kSwitches[i]);
    switch (i) {
      case 0:
        m_last.wifi = flag(v, defaults.wifi);
        break;
      case 1:
        m_last.bluetooth = flag(v, defaults.bluetooth);
        break;
      case 2:
        m_last.location = flag(v, defaults.location);
        break;
      case 3:
        m_last.airplane = flag(v, defaults.airplane);
        break;
      default:
        m_last.brightness = v.is_number() ? v.doubleValue() : defaults.brightness;
        break;
    }
  }
  // No SpringBoard (or no state from it yet): the screen is dark.
  if (std::string screen = host::screen_state_path("SpringBoard"); m_files[5].changed(screen)) {
    auto text = foundation::read_whole_file(screen, 1u << 20);
    auto j = text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
    m_last.screen_on = j.is_object() && j.contains("locked") && j["locked"].is_boolean() && !j["locked"].get<bool>();
  }
  m_last.usage = usage;
  return m_last;
}

}  // namespace device
