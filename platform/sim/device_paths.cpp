#include "platform/sim/device_paths.h"

#include <unistd.h>

#include <climits>
#include <deque>
#include <cstdlib>
#include <vector>

namespace px::platform::sim {
namespace {

std::string& root_storage() {
  static std::string root = [] {
    const char* env = std::getenv("SIMDEVICE_ROOT");
    std::string r = env ? env : "";
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r;
  }();
  return root;
}

std::vector<std::string> split(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i < path.size()) {
    std::size_t j = path.find('/', i);
    if (j == std::string_view::npos) j = path.size();
    if (j > i) parts.emplace_back(path.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

}  // namespace

const std::string& device_root() { return root_storage(); }

void set_device_root(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  root_storage() = std::move(root);
}

std::string DevicePath::host() const {
  const std::string& path = m_path;
  const std::string& root = device_root();
  if (root.empty()) return path;
  // Walk component by component so that ".." and links are resolved against
  // the device's "/", never the machine's: nothing can climb out of the root.
  std::deque<std::string> todo;
  for (auto& p : split(path)) todo.push_back(std::move(p));
  std::vector<std::string> resolved;
  int links_followed = 0;
  std::string host;
  while (!todo.empty()) {
    std::string part = std::move(todo.front());
    todo.pop_front();
    if (part == ".") continue;
    if (part == "..") {
      if (!resolved.empty()) resolved.pop_back();
      continue;
    }
    resolved.push_back(std::move(part));
    host = root;
    for (auto& r : resolved) host += "/" + r;
    char target[PATH_MAX];
    ssize_t n = ::readlink(host.c_str(), target, sizeof target - 1);
    if (n <= 0 || ++links_followed > 40) continue;
    target[n] = 0;
    resolved.pop_back();
    if (target[0] == '/') resolved.clear();
    auto link_parts = split(target);
    todo.insert(todo.begin(), link_parts.begin(), link_parts.end());
  }
  host = root;
  for (auto& r : resolved) host += "/" + r;
  return host;
}

std::optional<DevicePath> device_path_of(std::string_view host_path) {
  const std::string& root = device_root();
  if (root.empty()) return DevicePath(host_path);
  if (host_path.substr(0, root.size()) != root) return std::nullopt;
  std::string_view rest = host_path.substr(root.size());
  if (!rest.empty() && rest[0] != '/') return std::nullopt;
  return DevicePath(rest.empty() ? std::string_view("/") : rest);
}

}  // namespace px::platform::sim
