#pragma once
// What one `simdevice battery` command asks of the battery driver, and the
// hand-set keys that stay on top of whatever the battery source reports.

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/result.h"
#include "platform/foundation/value.h"

namespace px::host::device {

enum BatteryState : int { kStateUnknown = 0, kStateUnplugged = 1, kStateCharging = 2, kStateFull = 3 };

const char* state_name(int state);
std::optional<int> parse_state(const std::string& text);
// "unknown, unplugged, charging or full": every name parse_state takes.
std::string state_choices();

// "0.42", "42%" or "-1" (the level the platform cannot tell). Anything else,
// including levels outside 0..1 and 0..100 %, is refused.
std::optional<double> parse_level(const std::string& text);

// A value as typed on the command line: an integer, a real, true/false, else
// the text itself.
platform::foundation::Value parse_typed_value(const std::string& text);

// "AdapterDetails.Watts" → {"AdapterDetails", "Watts"}; nothing for empty parts.
std::optional<std::vector<std::string>> split_key_path(const std::string& key);

// One --set, --unset or --reset of a battery command.
struct KeyEdit {
  enum class Kind { set, unset, reset };
  Kind kind = Kind::set;
  std::string key;                    // set, unset
  platform::foundation::Value value;  // set
  bool operator==(const KeyEdit&) const = default;
};

struct BatteryChange {
  std::optional<double> level;
  std::optional<int> state;
  // Applied in the order given: `--set A=1 --reset` leaves nothing hand-set,
  // `--reset --set A=1` leaves A.
  std::vector<KeyEdit> edits;
  bool no_status = false;

  // A --reset among the edits: the hand-set level and state are forgotten too
  // (before this command's own LEVEL and --state apply).
  bool resets() const;
};

// The change as the typed request simdevice sends the supervisor, and back.
// Reading checks every field as parsing does; nothing for anything else.
nlohmann::json battery_change_to_json(const BatteryChange& change);
platform::foundation::Result<BatteryChange> battery_change_from_json(const nlohmann::json& json);

// Keys set or removed by hand. A key stays as set until a later command sets
// or unsets it (or one of its parents or children) again.
class BatteryOverrides {
 public:
  void set(const std::string& key, platform::foundation::Value value);
  void unset(const std::string& key);
  void clear();
  bool empty() const { return m_sets.empty() && m_unsets.empty(); }
  // The status with the removals, then the settings, applied; missing parent
  // dictionaries are made.
  platform::foundation::Value apply(platform::foundation::Value status) const;

 private:
  void forget_related(const std::string& key, bool ancestors);
  std::vector<std::pair<std::string, platform::foundation::Value>> m_sets;  // in the order given
  std::set<std::string> m_unsets;
};

}  // namespace px::host::device
