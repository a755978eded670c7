#pragma once
// The social accounts set up on the device, as the platform's share services
// see them: the hardware entry "social" maps a service type to true.

#include <optional>
#include <string>
#include <vector>

namespace px::host::status {

// "twitter" → "com.apple.social.twitter"; nothing for a service the platform lacks.
std::optional<std::string> account_service_type(const std::string& name);
// The names accepted above, for usage and messages.
std::string account_names();
// The accounts set up now, by name (a service type with no name as itself), sorted.
std::vector<std::string> accounts_set_up();
// Sets up or removes an account; false when the entry could not be written.
bool set_account(const std::string& service_type, bool set_up);

}  // namespace px::host::status
