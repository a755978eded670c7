#pragma once
// The Substrate loader: every "*.dylib" under the device's
// /Library/MobileSubstrate/DynamicLibraries/ whose same-named ".plist" lists
// the process's bundle identifier in Filter/Bundles is loaded, in name order.
// A library without such a filter is skipped with a log line; a filter that is
// missing, corrupt or of the wrong shape never stops the others.

#include <string>
#include <vector>

namespace px::host::springboard {

inline constexpr const char* kSubstrateFolder = "/Library/MobileSubstrate/DynamicLibraries";

// Whether a filter plist (host path) names `bundle_id`.
bool filter_selects(const std::string& filter_host_path, const std::string& bundle_id);

// Loads the selected libraries; returns the file names of those loaded.
std::vector<std::string> load_tweaks(const std::string& bundle_id = "com.apple.springboard");

}  // namespace px::host::springboard
