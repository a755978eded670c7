#include "prefs/panes.h"

namespace px::prefs {

void register_classes() {
  register_PylonexPro2TitleCell();
  register_BatteryData();
  register_CableInfo();
  register_option_panes();
  register_DataSharing();
  register_history_panes();
  register_PylonexPro2PrefsListController();
}

}  // namespace px::prefs
