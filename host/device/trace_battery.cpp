#include "host/device/trace_battery.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/common/value_json.h"
#include "host/device/battery_change.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/property_list.h"

namespace px::host::device {

double level_from_status(const platform::foundation::Value& status) {
  for (auto [now, max] :
       {std::pair{"AppleRawCurrentCapacity", "AppleRawMaxCapacity"}, {"CurrentCapacity", "MaxCapacity"}}) {
    const auto& n = status[now];
    const auto& m = status[max];
    if (n.is_number() && m.is_number() && m.doubleValue() > 0)
      return std::clamp(n.doubleValue() / m.doubleValue(), 0.0, 1.0);
  }
  return -1;
}

int state_from_status(const platform::foundation::Value& status) {
  if (!status.is_dictionary()) return kStateUnknown;
  if (status["FullyCharged"].boolValue()) return kStateFull;
  if (status["IsCharging"].boolValue()) return kStateCharging;
  return kStateUnplugged;
}

namespace {

platform::foundation::Result<TraceSample> sample_of(const platform::foundation::Value& entry) {
  auto refuse = [](const std::string& why) {
    return platform::foundation::fail(platform::foundation::Errc::malformed, why);
  };
  if (!entry.is_dictionary()) return refuse("not a dictionary");
  TraceSample s;
  const auto& t = entry["Time"];
  if (!t.is_number() || !std::isfinite(t.doubleValue()) || t.doubleValue() < 0)
    return refuse("no Time (seconds since the trace began)");
  s.time = t.doubleValue();
  s.reading.status = entry["Status"].is_dictionary() ? entry["Status"] : platform::foundation::Value();
  const auto& level = entry["Level"];
  s.reading.level = level.is_number() ? level.doubleValue() : level_from_status(s.reading.status);
  if (s.reading.level != -1 && (s.reading.level < 0 || s.reading.level > 1)) return refuse("Level outside 0..1");
  const auto& state = entry["State"];
  if (state.is_string()) {
    auto parsed = parse_state(*state.string());
    if (!parsed) return refuse("unknown State '" + *state.string() + "'");
    s.reading.state = *parsed;
  } else if (state.is_number()) {
    s.reading.state = std::clamp(state.intValue(), 0, 3);
  } else {
    s.reading.state = state_from_status(s.reading.status);
  }
  return s;
}

}  // namespace

platform::foundation::Result<std::vector<TraceSample>> read_trace(const std::string& host_path) {
  auto fail = [&](const std::string& why) {
    return platform::foundation::fail(platform::foundation::Errc::malformed, "trace " + host_path + ": " + why);
  };
  auto contents = platform::foundation::read_whole_file(host_path, 64u << 20);
  if (!contents.ok()) {
    return platform::foundation::fail(
        contents.code(),
        "trace " + host_path + ": " +
            (contents.code() == platform::foundation::Errc::missing ? "no such file" : "cannot be read"));
  }
  std::vector<TraceSample> samples;
  auto start = contents->find_first_not_of(" \t\r\n");
  bool is_plist = start != std::string::npos &&
                  (contents->compare(start, 5, "<?xml") == 0 || contents->compare(start, 6, "<plist") == 0 ||
                   contents->compare(0, 8, "bplist00") == 0);
  if (is_plist) {
    auto parsed = platform::foundation::plist::parse(*contents);
    if (!parsed) return fail("not a readable property list");
    platform::foundation::Value list = parsed->is_dictionary() ? (*parsed)["Samples"] : *parsed;
    if (!list.is_array()) return fail("a property-list trace is an array of samples (or {Samples = (...)})");
    for (std::size_t i = 0; i < list.array()->size(); ++i) {
      auto s = sample_of((*list.array())[i]);
      if (!s) return fail("sample " + std::to_string(i) + ": " + s.message());
      samples.push_back(std::move(*s));
    }
  } else {
    std::size_t line_no = 0, pos = 0;
    const std::string& text = *contents;
    while (pos < text.size()) {
      std::size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(pos, end - pos);
      pos = end + 1;
      ++line_no;
      auto first = line.find_first_not_of(" \t\r");
      if (first == std::string::npos || line[first] == '#') continue;
      auto j = nlohmann::json::parse(line, nullptr, false);
      if (j.is_discarded()) return fail("line " + std::to_string(line_no) + ": not JSON");
      auto s = sample_of(common::from_json(j));
      if (!s) return fail("line " + std::to_string(line_no) + ": " + s.message());
      samples.push_back(std::move(*s));
    }
  }
  if (samples.empty()) return fail("no samples");
  std::stable_sort(samples.begin(), samples.end(), [](auto& a, auto& b) { return a.time < b.time; });
  return samples;
}

TraceBattery::TraceBattery(std::string path, std::vector<TraceSample> samples, double speed, bool loop)
    : m_path(std::move(path)), m_samples(std::move(samples)), m_speed(speed), m_loop(loop) {}

BatterySample TraceBattery::sample(double elapsed_s, double) {
  double t = elapsed_s * m_speed + m_samples.front().time;
  double length = m_samples.back().time - m_samples.front().time;
  if (m_loop && length > 0) t = m_samples.front().time + std::fmod(t - m_samples.front().time, length);
  auto it = std::upper_bound(m_samples.begin(), m_samples.end(), t, [](double v, auto& s) { return v < s.time; });
  if (it != m_samples.begin()) --it;
  return it->reading;
}

}  // namespace px::host::device
