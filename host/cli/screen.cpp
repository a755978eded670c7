#include "host/cli/screen.h"

#include <cstdio>

#include "host/common/level_percent_text.h"
#include "host/common/value_json.h"

namespace px::host::cli {
namespace {

using nlohmann::json;

std::size_t columns(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string text_of(const json& j) {
  if (j.is_string()) return j.get<std::string>();
  if (j.is_null()) return "";
  return common::json_text(j);
}

bool truthy(const json& j) { return j.is_boolean() && j.get<bool>(); }

class Canvas {
 public:
  void rule() { m_lines.push_back("+" + std::string(kScreenColumns - 2, '-') + "+"); }
  void line(const std::string& text = "") { m_lines.push_back("|" + fit(" " + text, kScreenColumns - 2) + "|"); }
  void centred(const std::string& text) {
    std::size_t w = columns(text);
    std::size_t pad = w < kScreenColumns - 2 ? (kScreenColumns - 2 - w) / 2 : 0;
    m_lines.push_back("|" + fit(std::string(pad, ' ') + text, kScreenColumns - 2) + "|");
  }
  std::size_t used() const { return m_lines.size(); }
  std::vector<std::string> take() { return std::move(m_lines); }

 private:
  std::vector<std::string> m_lines;
};

std::string status_bar(const json& s) {
  const auto& hw = s["hardware"];
  std::string left = text_of(s["status_bar_time"]);
  std::string right;
  if (truthy(hw["airplane"])) right += "AIRPLANE  ";
  if (truthy(hw["wifi"])) right += "WiFi  ";
  if (truthy(hw["bluetooth"])) right += "BT  ";
  if (truthy(hw["location"])) right += "GPS  ";
  const auto& bat = hw["battery"];
  right += common::level_percent_text(bat["level"].is_number() ? bat["level"].get<double>() : -1.0, "--%");
  std::string state = text_of(bat["state"]);
  if (state == "charging") right += " +chg";
  if (state == "full") right += " full";
  std::size_t width = kScreenColumns - 4;
  std::size_t gap = columns(left) + columns(right) < width ? width - columns(left) - columns(right) : 1;
  return left + std::string(gap, ' ') + right;
}

}  // namespace

std::string fit(const std::string& text, std::size_t width) {
  std::string out;
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {
      if (n == width) break;
      ++n;
    }
    out += (c == '\n' || c == '\t') ? ' ' : text[i];
  }
  return out + std::string(width - n, ' ');
}

std::vector<std::string> render_screen(const json& s, const json& pane) {
  Canvas c;
  c.rule();
  c.line(status_bar(s));
  c.rule();
  const auto& sb = s["springboard"];
  if (!truthy(s["running"])) {
    c.centred("(device is off - simdevice boot)");
  } else if (!sb["pid"].is_number()) {
    c.centred("(SpringBoard is restarting)");
  } else if (pane.is_object()) {
    c.line("Settings > " + text_of(pane["title"]));
    int shown = 0;
    for (auto& row : pane.value("rows", json::array())) {
      if (shown++ >= 6) {
        c.line("  ...");
        break;
      }
      std::string kind = text_of(row["kind"]);
      std::string label = text_of(row["label"]);
      std::string value = row.contains("value") ? text_of(row["value"]) : "";
      if (kind == "group")
        c.line(label.empty() ? "" : "-- " + label + " --");
      else if (kind == "link")
        c.line("  " + label + std::string(label.size() < 60 ? 60 - label.size() : 1, ' ') + ">");
      else
        c.line("  " + label + (value.empty() ? "" : ":  " + value));
    }
  } else if (truthy(s["locked"])) {
    c.line();
    c.centred(text_of(s["status_bar_time"]));
    c.line();
    c.centred("[ slide to unlock ]");
  } else {
    c.line();
    c.centred("Home screen");
    c.centred("Phone   Mail   Safari   Music   Settings");
  }
  if (truthy(sb["safe_mode"])) c.centred("** SAFE MODE: tweaks are not loaded **");

  const auto& alerts = s["alerts"];
  if (alerts.is_array() && !alerts.empty()) {
    const auto& a = alerts.back();
    c.rule();
    c.line("ALERT: " + text_of(a["title"]) +
           (alerts.size() > 1 ? "  (" + std::to_string(alerts.size()) + " open)" : ""));
    std::string message = text_of(a["message"]);
    for (std::size_t at = 0, lines = 0; at < message.size() && lines < 4; ++lines) {
      std::size_t nl = message.find('\n', at);
      std::string part = message.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
      c.line("  " + part);
      at = nl == std::string::npos ? message.size() : nl + 1;
    }
    std::string buttons;
    int index = 0;
    for (auto& b : a.value("buttons", json::array()))
      buttons += "[" + std::to_string(index++) + ": " + text_of(b) + "]  ";
    c.line("  " + buttons);
  }
  const auto& banners = s["banners"];
  if (banners.is_array() && !banners.empty()) {
    const auto& b = banners.back();
    c.rule();
    c.line("BANNER: " + text_of(b["title"]) + " - " + text_of(b["message"]));
  }
  auto lines = c.take();
  const auto& hw = s["hardware"];
  auto yn = [](const json& j) { return truthy(j) ? std::string("on") : std::string("off"); };
  char brightness[16];
  std::snprintf(brightness, sizeof brightness, "%.0f%%",
                hw["brightness"].is_number() ? hw["brightness"].get<double>() * 100 : 0.0);
  std::vector<std::string> footer{
      "+" + std::string(kScreenColumns - 2, '-') + "+",
      "|" +
          fit(" Wi-Fi " + yn(hw["wifi"]) + " | Bluetooth " + yn(hw["bluetooth"]) + " | Airplane " + yn(hw["airplane"]) +
                  " | Location " + yn(hw["location"]) + " | Bright " + brightness + " | Vibr " +
                  text_of(hw["vibrations"]),
              kScreenColumns - 2) +
          "|",
      "+" + std::string(kScreenColumns - 2, '-') + "+",
  };
  // Pad the screen to its full height, keeping the footer at the bottom.
  std::size_t body_rows = kScreenRows - footer.size();
  if (lines.size() > body_rows) lines.resize(body_rows);
  while (lines.size() < body_rows) lines.push_back("|" + std::string(kScreenColumns - 2, ' ') + "|");
  lines.insert(lines.end(), footer.begin(), footer.end());
  return lines;
}

}  // namespace px::host::cli
