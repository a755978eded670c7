// `simdevice account add|remove SERVICE`: the accounts the device's share
// services need (the root pane's like button offers the Twitter sheet only
// when a Twitter account is set up).

#include "host/status/accounts.h"
#include "host/cli/command_entries.h"

namespace px::host::cli {
namespace {

CommandResult change_account(const ParsedArgs& args, Context& context, bool set_up) {
  const std::string& name = args.positionals[0];
  auto type = status::account_service_type(name);
  if (!type) return context.usage_error("no account kind '" + name + "' (" + status::account_names() + ")");
  if (!status::set_account(*type, set_up))
    return Context::failure("cannot write the device's accounts (simdevice init?)");
  return {0, std::string(set_up ? "Added the " : "Removed the ") + name + " account\n", {}};
}

Command account_subcommand(const char* name, const char* summary, bool set_up) {
  Command sub{name, summary, {}, true, [set_up](const ParsedArgs& args, Context& context) {
                return change_account(args, context, set_up);
              }};
  sub.args.positionals = {{"SERVICE", status::account_names()}};
  return sub;
}

}  // namespace

Command account_command() {
  Command account;
  account.name = "account";
  account.summary = "sets up or removes an account of the device (simdevice status lists them)";
  account.web_allowed = true;
  account.subcommands = {
      account_subcommand("add", "sets up an account, as Settings would after signing in", true),
      account_subcommand("remove", "removes an account; removing one that is not set up does nothing", false),
  };
  return account;
}

}  // namespace px::host::cli
