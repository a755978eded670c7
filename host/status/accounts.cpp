#include "host/status/accounts.h"

#include <algorithm>

#include "platform/sim/hardware/hardware_state.h"
#include "platform/social/sl_compose_view_controller.h"

namespace px::host::status {
namespace {

constexpr const char* kEntry = "social";

struct Service {
  const char* name;
  const char* type;
};
constexpr Service kServices[] = {{"twitter", platform::social::SLServiceTypeTwitter}};

}  // namespace

std::optional<std::string> account_service_type(const std::string& name) {
  for (const auto& s : kServices)
    if (name == s.name) return std::string(s.type);
  return std::nullopt;
}

std::string account_names() {
  std::string names;
  for (const auto& s : kServices) names += (names.empty() ? "" : ", ") + std::string(s.name);
  return names;
}

std::vector<std::string> accounts_set_up() {
  std::vector<std::string> names;
  platform::foundation::Value entry = platform::sim::hardware_value(kEntry);
  if (const auto* d = entry.dictionary()) {
    for (const auto& [type, on] : *d) {
      if (!on.boolValue()) continue;
      auto known =
          std::find_if(std::begin(kServices), std::end(kServices), [&](const Service& s) { return type == s.type; });
      names.push_back(known != std::end(kServices) ? known->name : type);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool set_account(const std::string& service_type, bool set_up) {
  platform::foundation::Value entry = platform::sim::hardware_value(kEntry);
  if (!entry.is_dictionary()) entry = platform::foundation::Dictionary{};
  auto& accounts = entry.mutable_dictionary();
  if (set_up)
    accounts[service_type] = platform::foundation::Value(true);
  else
    accounts.erase(service_type);
  return platform::sim::set_hardware_value(kEntry, entry);
}

}  // namespace px::host::status
