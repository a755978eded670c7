#pragma once
// Handing a command to one of the device's processes over its control socket.

#include <string>
#include <vector>

#include "host/cli/command_table.h"
#include "host/common/control_channel.h"

namespace cli {

// The reply as a command's result (its status, text and error text).
CommandResult result_of(const host::Reply& reply);

// Sends `request` to `process` and returns its reply; status 1 and "simdevice:
// `hint`" when nothing answers.
CommandResult forward(const std::string& process, const std::vector<std::string>& request, const std::string& hint);

}  // namespace cli
