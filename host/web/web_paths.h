#pragma once
// The paths the static routes take. A request target is decoded once here
// (cpp-httplib's own decoding is not relied on) and refused whole when any
// component could climb ("..", also as %2e%2e), names the current folder,
// holds a NUL, a backslash or a stray '%', or is empty: nothing is "cleaned
// up" into a different file.

#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/device_paths.h"

namespace px::host::web {

// Percent-decodes a URL path (no '+' rule: that is for query strings);
// nothing when an escape is malformed or decodes to NUL.
std::optional<std::string> percent_decode(std::string_view text);

// The components of a decoded path joined with '/', when every one is safe.
std::optional<std::string> safe_relative_path(std::string_view decoded);

// Installed bundles' files are served from here, and only images.
inline constexpr const char* kBundleFolder = "/Library/PreferenceBundles";
inline constexpr const char* kBundleRoute = "/bundle/";

// "/bundle/X.bundle/love.png" (raw target, query removed) → the device path
// "/Library/PreferenceBundles/X.bundle/love.png"; nothing for anything else
// (outside a ".bundle" folder, not an image, unsafe).
std::optional<platform::sim::DevicePath> bundle_device_path(std::string_view raw_path);
// The address the page uses for a bundle image's device path; nothing when
// that image is not one the bundle route serves.
std::optional<std::string> bundle_address(const platform::sim::DevicePath& device_path);

// Images the Settings app's panes draw (charts), published by the app as PNG
// files in one folder: "/drawn/NAME.png" ↔ "/var/run/Preferences/images/NAME.png".
inline constexpr const char* kDrawnFolder = "/var/run/Preferences/images";
inline constexpr const char* kDrawnRoute = "/drawn/";
std::optional<platform::sim::DevicePath> drawn_device_path(std::string_view raw_path);
std::optional<std::string> drawn_address(const platform::sim::DevicePath& device_path);

// Whether a decoded request path (the one the router matches) names one of
// the page's own files: "/" or "/NAME" of letters, digits, '.', '-', '_' (no
// leading dot). These alone are served without the session token; every
// other path needs it, whatever route serves it (one added later too).
bool is_page_file(std::string_view decoded_path);

// `text` as the page shows it: the device root's machine path taken out of
// every device path in it ("<root>/var/x" → "/var/x", "<root>" → "/").
std::string device_view(std::string_view text, std::string_view device_root);

// "/" → "index.html"; "/app.js" → "app.js"; nothing when unsafe.
std::optional<std::string> ui_relative_path(std::string_view raw_path);

// The content type by file extension ("application/octet-stream" otherwise).
std::string content_type_of(std::string_view file);

}  // namespace px::host::web
