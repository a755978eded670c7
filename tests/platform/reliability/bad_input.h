#pragma once
// The bad-input table: every broken form a file the system reads can take,
// placed where the reader looks, and a snapshot of the rest of the device to
// prove that reading a broken file changes nothing else.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/foundation/value.h"

namespace px::platform::reliability {

enum class Expect {
  empty,     // the reader's empty value, as for a missing file
  no_crash,  // anything but a crash or a hang (the reader may find values in it)
  usable,    // a valid file: the reader must see something
};

struct Variant {
  std::string name;
  Expect expect;
  // Places the variant at a host path (the path may not exist yet, its folder does).
  std::function<void(const std::string& host_path)> place;
};

// Every variant of a file whose good content is `good` (a dictionary):
// missing, empty, truncated, garbage, binary and XML, wrong root types, every
// value of the wrong type, invalid UTF-8, 10 MiB, 10 000 levels of nesting,
// a folder, an unreadable file, a FIFO, links out of the device root.
// `outside` is a host folder outside the device root holding a good copy,
// which links point at. Without `device_links`, the links are left out (for
// files named by host paths, which are the user's to choose).
std::vector<Variant> file_variants(const foundation::Value& good, const std::string& outside, bool device_links = true);

// True when the process can read files whatever their mode (root).
bool reads_everything();

// path → contents of every regular file under `root`, except `skip` (host
// paths) and the device log.
std::map<std::string, std::string> snapshot(const std::string& root, const std::vector<std::string>& skip);

// Removes whatever is at `host_path` (file, folder, link, FIFO).
void clear(const std::string& host_path);

}  // namespace px::platform::reliability
