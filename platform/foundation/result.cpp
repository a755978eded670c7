#include "platform/foundation/result.h"

namespace px::platform::foundation {

const char* describe(Errc code) {
  switch (code) {
    case Errc::missing:
      return "missing";
    case Errc::unreadable:
      return "unreadable";
    case Errc::too_large:
      return "too large";
    case Errc::too_deep:
      return "nested too deep";
    case Errc::malformed:
      return "malformed";
    case Errc::invalid:
      return "invalid";
    case Errc::io:
      return "refused by the system";
  }
  return "?";
}

}  // namespace px::platform::foundation
