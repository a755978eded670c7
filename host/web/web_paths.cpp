#include "host/web/web_paths.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace px::host::web {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string lower_extension(std::string_view file) {
  auto dot = file.rfind('.');
  if (dot == std::string_view::npos || file.find('/', dot) != std::string_view::npos) return {};
  std::string ext(file.substr(dot + 1));
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

bool is_image(std::string_view file) {
  static constexpr std::array<std::string_view, 4> kImages{"png", "jpg", "jpeg", "gif"};
  std::string ext = lower_extension(file);
  return std::find(kImages.begin(), kImages.end(), ext) != kImages.end();
}

std::optional<std::string> decoded_safe(std::string_view raw) {
  auto decoded = percent_decode(raw);
  if (!decoded) return std::nullopt;
  return safe_relative_path(*decoded);
}

// The address a device file under `folder` has on `route`: only what the
// route, read back by `serves`, would serve again.
std::optional<std::string> address_under(const platform::sim::DevicePath& device_file, std::string_view folder,
                                         std::string_view route,
                                         std::optional<platform::sim::DevicePath> (*serves)(std::string_view)) {
  std::string_view device_path = device_file.str();
  std::string prefix = std::string(folder) + "/";
  if (device_path.substr(0, prefix.size()) != prefix) return std::nullopt;
  std::string address = std::string(route) + std::string(device_path.substr(prefix.size()));
  if (!serves(address)) return std::nullopt;
  return address;
}

}  // namespace

std::optional<std::string> percent_decode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int hi = hex_digit(text[i + 1]), lo = hex_digit(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    }
    if (c == '\0') return std::nullopt;
    out += c;
  }
  return out;
}

std::optional<std::string> safe_relative_path(std::string_view decoded) {
  std::string out;
  std::size_t at = 0;
  while (at <= decoded.size()) {
    std::size_t end = decoded.find('/', at);
    if (end == std::string_view::npos) end = decoded.size();
    std::string_view part = decoded.substr(at, end - at);
    if (part.empty() || part == "." || part == ".." || part.find_first_of("\\%") != std::string_view::npos)
      return std::nullopt;
    for (char c : part)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
    if (!out.empty()) out += '/';
    out += part;
    at = end + 1;
  }
  return out;
}

std::optional<platform::sim::DevicePath> bundle_device_path(std::string_view raw_path) {
  std::string_view route = kBundleRoute;
  if (raw_path.substr(0, route.size()) != route) return std::nullopt;
  auto relative = decoded_safe(raw_path.substr(route.size()));
  if (!relative) return std::nullopt;
  // The first component is the bundle folder, and something must be inside it.
  auto slash = relative->find('/');
  if (slash == std::string::npos) return std::nullopt;
  std::string_view bundle = std::string_view(*relative).substr(0, slash);
  if (bundle.size() <= 7 || bundle.substr(bundle.size() - 7) != ".bundle") return std::nullopt;
  if (!is_image(*relative)) return std::nullopt;
  return platform::sim::DevicePath(std::string(kBundleFolder) + "/" + *relative);
}

std::optional<std::string> bundle_address(const platform::sim::DevicePath& device_path) {
  return address_under(device_path, kBundleFolder, kBundleRoute, bundle_device_path);
}

std::optional<platform::sim::DevicePath> drawn_device_path(std::string_view raw_path) {
  std::string_view route = kDrawnRoute;
  if (raw_path.substr(0, route.size()) != route) return std::nullopt;
  auto name = decoded_safe(raw_path.substr(route.size()));
  // One file of the folder, and a PNG.
  if (!name || name->find('/') != std::string::npos || lower_extension(*name) != "png") return std::nullopt;
  return platform::sim::DevicePath(std::string(kDrawnFolder) + "/" + *name);
}

std::optional<std::string> drawn_address(const platform::sim::DevicePath& device_path) {
  return address_under(device_path, kDrawnFolder, kDrawnRoute, drawn_device_path);
}

std::optional<std::string> ui_relative_path(std::string_view raw_path) {
  if (raw_path.empty() || raw_path.front() != '/') return std::nullopt;
  if (raw_path == "/") return std::string("index.html");
  return decoded_safe(raw_path.substr(1));
}

bool is_page_file(std::string_view path) {
  if (path == "/") return true;
  if (path.size() < 2 || path.front() != '/' || path[1] == '.') return false;
  return std::all_of(path.begin() + 1, path.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
  });
}

std::string device_view(std::string_view text, std::string_view root) {
  while (!root.empty() && root.back() == '/') root.remove_suffix(1);
  if (root.empty()) return std::string(text);
  std::string out;
  std::size_t at = 0;
  while (true) {
    std::size_t hit = text.find(root, at);
    if (hit == std::string_view::npos) break;
    std::size_t after = hit + root.size();
    // Only the root itself, not a longer name that starts the same ("<root>2").
    bool whole = after == text.size() || text[after] == '/' ||
                 !(std::isalnum(static_cast<unsigned char>(text[after])) || text[after] == '-' || text[after] == '_' ||
                   text[after] == '.');
    out.append(text.substr(at, hit - at));
    if (!whole) {
      out.append(root);
    } else if (after == text.size() || text[after] != '/') {
      out += '/';
    }
    at = after;
  }
  out.append(text.substr(at));
  return out;
}

std::string content_type_of(std::string_view file) {
  std::string ext = lower_extension(file);
  if (ext == "html") return "text/html; charset=utf-8";
  if (ext == "css") return "text/css; charset=utf-8";
  if (ext == "js") return "text/javascript; charset=utf-8";
  if (ext == "svg") return "image/svg+xml";
  if (ext == "png") return "image/png";
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "gif") return "image/gif";
  if (ext == "json") return "application/json";
  return "application/octet-stream";
}

}  // namespace px::host::web
