#pragma once
// Handing a command to one of the device's processes over its control socket:
// a verb of the device's table (host/common/device_verbs.h), its arguments
// checked against the table's grammar and sent as its typed request.

#include <string>
#include <vector>

#include "host/cli/arg_parser.h"
#include "host/cli/command_table.h"
#include "host/common/control_channel.h"
#include "host/common/device_verbs.h"

namespace px::host::cli {

// The reply as a command's result (its status, text and error text).
CommandResult result_of(const common::Reply& reply);

// Sends `request` to `process` and returns its reply; status 1 and "simdevice:
// `hint`" when nothing answers.
CommandResult forward(const std::string& process, const std::vector<std::string>& request, const std::string& hint);

// A verb's grammar as simdevice parses and explains it: the table's operands
// and options with their help.
ArgSpec arg_spec_of(const common::verbs::Grammar& grammar);

// Sends `Verb`, its typed request made from a command line checked against
// its grammar, to `process` (as forward()); status 2 and the table's message
// for a value of the wrong type, which is then not sent.
template <class Verb>
CommandResult send_verb(const std::string& process, const ParsedArgs& args, const std::string& hint) {
  auto request = common::verbs::read_verb<Verb>(args.words());
  if (!request) return {2, {}, request.message() + "\n"};
  return forward(process, common::verbs::words_of(*request), hint);
}

}  // namespace px::host::cli
