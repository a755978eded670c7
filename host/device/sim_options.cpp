#include "host/device/sim_options.h"

#include <cmath>
#include <sstream>
#include <utility>

namespace px::host::device {
namespace {

std::optional<double> number(const std::string& s) {
  std::istringstream in(s);
  double d;
  if (!(in >> d) || !in.eof() || !std::isfinite(d)) return std::nullopt;
  return d;
}

bool strip_suffix(std::string& s, const std::string& suffix) {
  if (s.size() <= suffix.size() || s.compare(s.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  s.resize(s.size() - suffix.size());
  return true;
}

// A percent bound of a cycle: 0..100, "%" allowed.
std::optional<double> percent(std::string s) {
  strip_suffix(s, "%");
  auto d = number(s);
  if (!d || *d < 0 || *d > 100) return std::nullopt;
  return *d / 100;
}

std::optional<long long> whole(const std::string& s) {
  auto d = number(s);
  if (!d || *d != std::floor(*d) || std::abs(*d) > 1e9) return std::nullopt;
  return static_cast<long long>(*d);
}

// The shortest decimal text that reads back as the same number.
std::string text_of(double d) {
  std::ostringstream o;
  o.precision(15);
  o << d;
  return o.str();
}

}  // namespace

platform::foundation::Result<SimOptions> parse_sim_options(const std::string& text) {
  SimOptions o;
  auto fail = [](const std::string& why) {
    return platform::foundation::fail(platform::foundation::Errc::invalid, "sim battery: " + why);
  };
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = text.find(',', i);
    std::string item = text.substr(i, j == std::string::npos ? std::string::npos : j - i);
    i = j == std::string::npos ? text.size() : j + 1;
    if (item.empty()) continue;
    auto eq = item.find('=');
    if (eq == std::string::npos) return fail("'" + item + "' is not NAME=VALUE");
    std::string name = item.substr(0, eq), value = item.substr(eq + 1);
    if (name == "level") {
      bool is_percent = !value.empty() && value.back() == '%';
      auto d = number(is_percent ? value.substr(0, value.size() - 1) : value);
      if (!d) return fail("bad level '" + value + "'");
      double level = (is_percent || *d > 1) ? *d / 100 : *d;
      if (level < 0 || level > 1) return fail("level '" + value + "' is outside 0..100%");
      o.level = level;
    } else if (name == "rate") {
      double per = 1;  // to minutes
      std::string amount = value;
      for (auto [suffix, factor] : {std::pair{"/min", 1.0}, {"/s", 60.0}, {"/h", 1 / 60.0}})
        if (strip_suffix(amount, suffix)) {
          per = factor;
          break;
        }
      if (!amount.empty() && amount.back() == '%') amount.pop_back();
      auto d = number(amount);
      if (!d) return fail("bad rate '" + value + "' (e.g. -1.5/min)");
      o.rate_per_min = *d * per;
    } else if (name == "speed") {
      auto d = number(value);
      if (!d || *d <= 0 || *d > 1e6) return fail("bad speed '" + value + "' (a positive factor up to 1000000)");
      o.speed = *d;
    } else if (name == "charger") {
      if (value != "on" && value != "off") return fail("charger is on or off");
      o.connected = value == "on";
    } else if (name == "cycle") {
      auto dash = value.find('-');
      auto low = dash == std::string::npos ? std::nullopt : percent(value.substr(0, dash));
      auto high = dash == std::string::npos ? std::nullopt : percent(value.substr(dash + 1));
      if (!low || !high || *low >= *high)
        return fail("bad cycle '" + value + "' (LOW-HIGH in percent, LOW below HIGH, e.g. 20-90)");
      o.cycle = SimOptions::Cycle{*low, *high};
    } else if (name == "wear") {
      std::string amount = value;
      if (!strip_suffix(amount, "%/cycle"))
        return fail("bad wear '" + value + "' (health points per cycle, e.g. 0.02%/cycle)");
      auto d = number(amount);
      if (!d || *d < 0 || *d > 10) return fail("bad wear '" + value + "' (0 to 10 %/cycle)");
      o.wear_per_cycle = *d / 100;
    } else if (name == "cycles") {
      auto n = whole(value);
      if (!n || *n < 0 || *n > 100000) return fail("bad cycles '" + value + "' (a cycle count, 0 to 100000)");
      o.cycles = static_cast<int>(*n);
    } else if (name == "seed") {
      auto n = whole(value);
      if (!n || *n < 0 || *n > 0xffffffffLL) return fail("bad seed '" + value + "' (a whole number)");
      o.seed = static_cast<std::uint32_t>(*n);
    } else if (name == "usage") {
      auto usage = parse_usage(value);
      if (!usage) return fail("bad usage '" + value + "' (" + usage_names() + ")");
      o.usage = *usage;
    } else {
      return fail("unknown option '" + name + "' (level, rate, speed, charger, cycle, wear, cycles, seed, usage)");
    }
  }
  if (o.cycle && o.rate_per_min && *o.rate_per_min == 0)
    return fail("a cycle needs a moving battery: a rate other than 0, or none for the load model");
  return o;
}

std::string describe_sim_options(const SimOptions& o) {
  std::ostringstream s;
  s << "sim:level=" << text_of(o.level * 100);
  if (o.rate_per_min) s << ",rate=" << text_of(*o.rate_per_min) << "/min";
  s << ",speed=" << text_of(o.speed);
  if (o.connected) s << ",charger=" << (*o.connected ? "on" : "off");
  if (o.cycle) s << ",cycle=" << text_of(o.cycle->low * 100) << "-" << text_of(o.cycle->high * 100);
  if (o.wear_per_cycle) s << ",wear=" << text_of(*o.wear_per_cycle * 100) << "%/cycle";
  if (o.cycles) s << ",cycles=" << *o.cycles;
  if (o.seed != 1) s << ",seed=" << o.seed;
  if (o.usage != Usage::idle) s << ",usage=" << usage_name(o.usage);
  return s.str();
}

}  // namespace px::host::device
