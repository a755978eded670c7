#include "fuzz/entries.h"
#include "host/web/command_request.h"
#include "host/web/request_head.h"
#include "host/web/web_paths.h"

namespace px::fuzz {
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
  auto request = host::web::parse_command_request(bytes);
  require(request.args.has_value() != !request.error.empty(), "a body is either arguments or a reason");
  if (request.args) {
    require(!request.args->empty(), "accepted arguments are not empty");
    for (auto& a : *request.args) require(a.find('\0') == std::string::npos, "no NUL in an accepted argument");
  }
  // The same bytes as a path under /bundle/ and as a page file: nothing that
  // comes out may climb or leave the bundles' folder.
  std::string path = "/bundle/" + std::string(bytes);
  if (auto device_path = host::web::bundle_device_path(path)) {
    const std::string* device_file = &device_path->str();
    require(device_file->rfind("/Library/PreferenceBundles/", 0) == 0, "bundle files stay in the bundles' folder");
    require(plain_components(device_file->substr(1)), "no climbing component in a bundle file");
    require(device_file->find('\0') == std::string::npos, "no NUL in a bundle file");
  }
  if (auto file = host::web::ui_relative_path("/" + std::string(bytes))) {
    require(plain_components(*file), "page files stay in the page's folder");
  }
  // The same bytes as a request off the wire, whole and cut in two: the same
  // outcome, a request handed on within its bounds, a refusal with a status.
  host::web::RequestReader whole(host::web::kMaxBodyBytes), halves(host::web::kMaxBodyBytes);
  whole.feed(bytes);
  halves.feed(bytes.substr(0, bytes.size() / 2));
  halves.feed(bytes.substr(bytes.size() / 2));
  require(whole.state() == halves.state(), "a request reads the same however it is cut");
  if (whole.state() == host::web::RequestReader::State::whole) {
    std::string request = whole.take_request();
    require(request == halves.take_request(), "a whole request is the same however it is cut");
    require(request.size() <= host::web::kMaxHeadBytes + host::web::kMaxBodyBytes + 64,
            "a request handed on is bounded");
  } else if (whole.state() == host::web::RequestReader::State::refused) {
    int status = whole.refusal().status;
    require(status == 400 || status == 413 || status == 431 || status == 501, "a refusal has a known status");
  }
}

}  // namespace px::fuzz
