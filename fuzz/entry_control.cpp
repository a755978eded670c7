#include "fuzz/entries.h"
#include "host/common/control_channel.h"

namespace pxfuzz {

void control_message(std::string_view bytes) {
  auto args = host::parse_control_request(bytes);
  if (args) {
    // A request that parses is one the client could have sent: it reads back the same.
    auto again = host::parse_control_request(host::format_control_request(*args));
    require(again && *again == *args, "a request survives its own encoding");
  }
  auto reply = host::parse_control_reply(bytes);
  if (reply) {
    auto again = host::parse_control_reply(host::format_control_reply(*reply));
    require(again && again->status == reply->status, "a reply survives its own encoding");
  }
}

}  // namespace pxfuzz
