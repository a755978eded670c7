#include "host/cli/device_requests.h"

namespace px::host::cli {
namespace {
std::string line_ended(const std::string& text) { return text.empty() || text.back() == '\n' ? text : text + "\n"; }
}  // namespace

CommandResult result_of(const common::Reply& reply) {
  return {reply.status, line_ended(reply.out), line_ended(reply.err)};
}

CommandResult forward(const std::string& process, const std::vector<std::string>& request, const std::string& hint) {
  auto reply = common::control_request(common::control_socket_path(process), request, 30000);
  if (!reply) return Context::failure(hint);
  return result_of(*reply);
}

ArgSpec arg_spec_of(const common::verbs::Grammar& grammar) {
  ArgSpec args;
  for (const auto& operand : grammar.operands)
    args.positionals.push_back({std::string(operand.name), std::string(operand.help), operand.required});
  for (const auto& option : grammar.options)
    args.options.push_back({std::string(option.name), std::string(option.value_name), std::string(option.help)});
  return args;
}

}  // namespace px::host::cli
