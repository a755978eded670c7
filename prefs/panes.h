#pragma once
// Registration of the bundle's runtime classes. The bundle's load-time
// initialiser calls register_classes(); tests call it again after resetting
// the runtime.

namespace px::prefs {

void register_classes();

void register_PylonexPro2PrefsListController();
void register_PylonexPro2TitleCell();
void register_BatteryData();
void register_CableInfo();
void register_option_panes();
void register_DataSharing();
void register_history_panes();

}  // namespace px::prefs
