#pragma once
// The device's screen drawn as text for `simdevice watch`: plain ASCII lines,
// at most 80 columns and 24 rows, so it reads over ssh in any terminal.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace px::host::cli {

inline constexpr int kScreenColumns = 80;
inline constexpr int kScreenRows = 24;

// `status` is status::compose_device_status(); `settings_pane` the Settings app's
// `show --json` when it is open (else null).
std::vector<std::string> render_screen(const nlohmann::json& status, const nlohmann::json& settings_pane);

// `text` cut or padded to `width` columns, counting UTF-8 characters.
std::string fit(const std::string& text, std::size_t width);

}  // namespace px::host::cli
