#include "fuzz/entries.h"
#include "host/common/control_channel.h"

namespace px::fuzz {

void control_message(std::string_view bytes) {
  auto args = host::common::parse_control_request(bytes);
  if (args) {
    // A request that parses is one the client could have sent: it reads back the same.
    auto again = host::common::parse_control_request(host::common::format_control_request(*args));
    require(again && *again == *args, "a request survives its own encoding");
  }
  auto reply = host::common::parse_control_reply(bytes);
  if (reply) {
    auto again = host::common::parse_control_reply(host::common::format_control_reply(*reply));
    require(again && again->status == reply->status, "a reply survives its own encoding");
  }
}

}  // namespace px::fuzz
