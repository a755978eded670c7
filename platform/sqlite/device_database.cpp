#include "platform/sqlite/device_database.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/sim/device_paths.h"

namespace px::platform::sqlite {
namespace {

bool under(std::string_view path, std::string_view folder) {
  return path.substr(0, folder.size()) == folder && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::optional<std::string> real_path(const std::string& path) {
  char buf[PATH_MAX];
  if (!::realpath(path.c_str(), buf)) return std::nullopt;
  return std::string(buf);
}

// Whether `host_path` is a plain file or absent; anything else is unfit.
bool plain_or_absent(const std::string& host_path) {
  struct stat st {};
  if (::lstat(host_path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

}  // namespace

DeviceOpen open_device_database(std::string_view device_file, OpenMode mode) {
  DeviceOpen result{Error{}, {}, {}};
  std::string_view folder = device_file.substr(0, device_file.rfind('/'));
  std::string_view name = device_file.substr(device_file.rfind('/') + 1);
  if (name.empty()) {
    result.database = Error{Failure::cant_open, 0, "no file name in " + std::string(device_file)};
    return result;
  }
  // The folder as the device resolves it, then as the machine does: the two
  // must agree on a place under the root (SQLite refuses any link in the
  // path, so it is given the real one).
  std::optional<std::string> real_folder = real_path(sim::DevicePath(folder.empty() ? "/" : folder).host());
  const std::string& root = sim::device_root();
  std::optional<std::string> real_root = root.empty() ? std::optional<std::string>("/") : real_path(root);
  if (!real_folder || !real_root || !under(*real_folder, *real_root)) {
    result.database =
        Error{Failure::cant_open, 0, "folder of " + std::string(device_file) + " is missing or outside the device"};
    return result;
  }
  result.host_path = *real_folder + "/" + std::string(name);
  std::string set[] = {result.host_path, result.host_path + kCompanionSuffixes[0],
                       result.host_path + kCompanionSuffixes[1], result.host_path + kCompanionSuffixes[2]};
  for (const std::string& file : set) {
    if (!plain_or_absent(file)) {
      result.unfit_host_path = file;
      result.database = Error{Failure::corrupt, 0, file + " is not a plain file"};
      return result;
    }
  }
  result.database = Database::open(result.host_path, mode);
  return result;
}

}  // namespace px::platform::sqlite
