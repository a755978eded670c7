#pragma once
// A fresh device root in a temporary folder for one test: the iOS layout,
// the runtime, the run loop, the notification centres and the defaults of the
// process all start empty, and the folder is removed afterwards.

#include <string>

#include "tests/support/scoped_temp_dir.h"

namespace px::tests::support {

class TempDevice {
 public:
  TempDevice();
  ~TempDevice();
  TempDevice(const TempDevice&) = delete;
  TempDevice& operator=(const TempDevice&) = delete;

  const std::string& root() const { return m_root; }
  // Host path of a device path.
  std::string path(const std::string& device_path) const;
  void write_text(const std::string& device_path, const std::string& text) const;
  std::string read_text(const std::string& device_path) const;
  bool exists(const std::string& device_path) const;

 private:
  ScopedTempDir m_folder{"pxdevice"};
  std::string m_root;
};

}  // namespace px::tests::support
