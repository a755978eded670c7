#pragma once
// The pieces of the Data Sharing pane that are worth naming on their own.

#include <string>

#include "platform/foundation/value.h"

namespace px::prefs {

// The device's machine identifier ("iPhone6,1"), from uname.
std::string getModel();
// "MM/dd/yyyy hh:mma" in the system time zone.
std::string last_sync_text(double unix_seconds);
// The upload request: the nine query values in order, each percent-encoded,
// an absent value sent as the missing-object placeholder.
std::string upload_url(const std::string& host, const platform::foundation::Value& battery_data,
                       const std::string& model);

}  // namespace px::prefs
