#include "tests/support/temp_device.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "host/common/device_layout.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/objc/runtime.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"

namespace px::tests::support {

TempDevice::TempDevice() : m_root(m_folder.path()) {
  if (auto made = host::common::make_device_layout(m_root); !made) throw std::runtime_error(made.message());
  platform::foundation::darwin::reset_for_testing();
  platform::sim::set_device_root(m_root);
  platform::sim::reload_device_clock();  // the new root has no clock file: real time again
  platform::foundation::RunLoop::main().reset_for_testing();
  platform::foundation::NSNotificationCenter::defaultCenter().reset_for_testing();
  platform::foundation::NSUserDefaults::reset_standard_for_testing();
  platform::foundation::NSUserDefaults::set_standard_domain("com.apple.springboard");
  platform::objc::objc_reset_for_testing();
  platform::uikit::AlertPresenter::shared().dismiss_all();
  platform::uikit::AlertPresenter::shared().set_on_change(nullptr);
  platform::uikit::UIApplication::sharedApplication()->reset_for_testing();
  platform::uikit::UIDevice::currentDevice()->reset_for_testing();
}

TempDevice::~TempDevice() {
  platform::foundation::darwin::reset_for_testing();
  platform::foundation::RunLoop::main().reset_for_testing();
}

std::string TempDevice::path(const std::string& device_path) const {
  return platform::sim::DevicePath(device_path).host();
}

void TempDevice::write_text(const std::string& device_path, const std::string& text) const {
  std::ofstream(path(device_path), std::ios::binary) << text;
}

std::string TempDevice::read_text(const std::string& device_path) const {
  std::ifstream in(path(device_path), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool TempDevice::exists(const std::string& device_path) const { return std::filesystem::exists(path(device_path)); }

}  // namespace px::tests::support
