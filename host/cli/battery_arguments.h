#pragma once
// The arguments of `simdevice battery`: their grammar (the usage is made from
// it) and the typed change they parse into, which is what the supervisor is
// sent. The command line is parsed once, here; the supervisor reads only the
// typed request.

#include "host/cli/arg_parser.h"
#include "host/device/battery_change.h"
#include "platform/foundation/result.h"

namespace px::host::cli {

// `[LEVEL] [--state STATE] [--set KEY=VALUE]... [--unset KEY]... [--no-status] [--reset]`
const ArgSpec& battery_grammar();

// The change a command line checked against battery_grammar() asks for; a
// failure names the value that is wrong.
platform::foundation::Result<device::BatteryChange> battery_change_from_args(const ParsedArgs& args);

}  // namespace px::host::cli
