#pragma once
// The values the Data Sharing pane sends, in the order the upload request
// carries them: each with its query key and the words the pane's footer uses
// for it. The URL builder and the footer (generated into the specifier list
// when the bundle is built) both read this table, so what the pane says it
// sends is what it sends.

#include <array>
#include <string>
#include <string_view>

namespace px::prefs {

enum class SharedValue {
  model,
  design_capacity,
  cycle_count,
  qmax_cell0,
  chemistry_id,
  temperature,
  boot_voltage,
  raw_capacity,
  flags,
};

struct SharedField {
  SharedValue value;
  std::string_view query_key;
  std::string_view meaning;
};

inline constexpr std::array<SharedField, 9> kSharedFields{{
    {SharedValue::model, "model", "model"},
    {SharedValue::design_capacity, "maxcapacity", "design capacity"},
    {SharedValue::cycle_count, "cyclecount", "cycle count"},
    {SharedValue::qmax_cell0, "qmax", "Qmax of cell 0"},
    {SharedValue::chemistry_id, "chemid", "chemistry ID"},
    {SharedValue::temperature, "temp", "temperature"},
    {SharedValue::boot_voltage, "bv", "boot voltage"},
    {SharedValue::raw_capacity, "rawcap", "current capacity"},
    {SharedValue::flags, "flags", "flags"},
}};

// "Sends model, design capacity, …, current capacity and flags. Nothing else."
inline std::string data_sharing_footer() {
  std::string text = "Sends ";
  for (std::size_t i = 0; i < kSharedFields.size(); ++i) {
    if (i > 0) text += i + 1 == kSharedFields.size() ? " and " : ", ";
    text += kSharedFields[i].meaning;
  }
  return text + ". Nothing else.";
}

}  // namespace px::prefs
