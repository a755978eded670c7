// Build-time generator: writes the tables the specifier lists are made from
// (make_resources.py reads them), taken from the same C++ headers the bundle
// and the tweak compile against, so a list cannot drift from the code: the
// settings schema, the pane names, the shared names (shared/names.h) and
// what Data Sharing sends.
//
// Usage: px_resource_tables OUTPUT.json

#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "prefs/data_sharing_fields.h"
#include "shared/names.h"
#include "shared/settings_schema.h"

namespace {

nlohmann::json tables() {
  nlohmann::json out;
  // The names the lists carry that the tweak and the bundle's code also use.
  out["names"] = {{"settings_changed_notification", px::shared::kSettingsChangedNotification},
                  {"settings_url", px::shared::kSettingsURL}};
  out["panes"] = {{"advanced_options", px::shared::kAdvancedOptionsPane},
                  {"info_popup", px::shared::kInfoPopupPane},
                  {"power_saving", px::shared::kPowerSavingPane}};
  nlohmann::json& sharing = out["data_sharing"];
  sharing["footer"] = px::prefs::data_sharing_footer();
  for (const auto& field : px::prefs::kSharedFields)
    sharing["fields"].push_back({{"query_key", field.query_key}, {"meaning", field.meaning}});
  for (const px::shared::Setting* setting : px::shared::kSettingsSchema) {
    nlohmann::json row{{"key", setting->key}, {"pane", setting->pane}};
    switch (setting->type) {
      case px::shared::SettingType::boolean:
        row["type"] = "boolean";
        row["default"] = setting->absent != 0;
        break;
      case px::shared::SettingType::integer:
        row["type"] = "integer";
        row["default"] = static_cast<long long>(setting->absent);
        break;
      case px::shared::SettingType::real:
        row["type"] = "real";
        row["default"] = setting->absent;
        row["min"] = setting->min;
        row["max"] = setting->max;
        break;
    }
    for (std::size_t i = 0; i < setting->choice_count; ++i)
      row["choices"].push_back({{"value", setting->choices[i].value}, {"title", setting->choices[i].title}});
    out["settings"].push_back(row);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: px_resource_tables OUTPUT.json\n";
    return 2;
  }
  std::ofstream file(argv[1], std::ios::trunc);
  file << tables().dump(2) << '\n';
  file.close();
  if (!file) {
    std::cerr << "px_resource_tables: cannot write " << argv[1] << '\n';
    return 1;
  }
  return 0;
}
