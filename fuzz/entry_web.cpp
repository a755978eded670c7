#include "fuzz/entries.h"
#include "host/web/command_request.h"
#include "host/web/web_paths.h"

namespace pxfuzz {
namespace {

// True when no component of `path` is "", "." or "..".
bool plain_components(const std::string& path) {
  std::size_t at = 0;
  while (true) {
    std::size_t end = path.find('/', at);
    std::string part = path.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) return true;
    at = end + 1;
  }
}

}  // namespace

void web_request(std::string_view bytes) {
  // A command body: what it accepts is a non-empty list of NUL-free strings.
  auto request = web::parse_command_request(bytes);
  require(request.args.has_value() != !request.error.empty(), "a body is either arguments or a reason");
  if (request.args) {
    require(!request.args->empty(), "accepted arguments are not empty");
    for (auto& a : *request.args) require(a.find('\0') == std::string::npos, "no NUL in an accepted argument");
  }
  // The same bytes as a path under /bundle/ and as a page file: nothing that
  // comes out may climb or leave the bundles' folder.
  std::string path = "/bundle/" + std::string(bytes);
  if (auto device_file = web::bundle_device_path(path)) {
    require(device_file->rfind("/Library/PreferenceBundles/", 0) == 0, "bundle files stay in the bundles' folder");
    require(plain_components(device_file->substr(1)), "no climbing component in a bundle file");
    require(device_file->find('\0') == std::string::npos, "no NUL in a bundle file");
  }
  if (auto file = web::ui_relative_path("/" + std::string(bytes))) {
    require(plain_components(*file), "page files stay in the page's folder");
  }
}

}  // namespace pxfuzz
