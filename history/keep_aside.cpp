#include "history/keep_aside.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/foundation/keep_aside.h"
#include "platform/sqlite/device_database.h"

namespace history {
namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::string keep_database_aside(const std::string& host_path, std::int64_t now) {
  std::string base = host_path;
  // A companion file named on its own (a -wal that is a link, say) moves by
  // itself; the database moves with its companions.
  bool is_companion = false;
  for (const char* suffix : sqlite::kCompanionSuffixes) {
    std::string s(suffix);
    if (host_path.size() > s.size() && host_path.compare(host_path.size() - s.size(), s.size(), s) == 0) {
      base = host_path.substr(0, host_path.size() - s.size());
      is_companion = true;
    }
  }
  std::string aside = base + ".corrupt-" + foundation::aside_stamp(static_cast<double>(now));
  // Two damaged stores within one second keep both.
  for (int n = 2; exists(aside) || exists(aside + "-wal"); ++n)
    aside = base + ".corrupt-" + foundation::aside_stamp(static_cast<double>(now)) + "-" + std::to_string(n);
  if (is_companion) {
    std::string suffix = host_path.substr(base.size());
    return std::rename(host_path.c_str(), (aside + suffix).c_str()) == 0 ? aside + suffix : std::string();
  }
  if (std::rename(host_path.c_str(), aside.c_str()) != 0) return {};
  for (const char* suffix : sqlite::kCompanionSuffixes)
    std::rename((host_path + suffix).c_str(), (aside + suffix).c_str());
  return aside;
}

}  // namespace history
