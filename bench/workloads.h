#pragma once
// The benchmark's device: a temporary root with realistic files, and (when
// they are built) SpringBoard's classes with the tweak loaded and the
// settings bundle loaded, so that the real code paths are timed.

#include <memory>
#include <string>

#include "platform/foundation/value.h"

namespace px::bench {

class Deliverables;

// A battery status of realistic size: about 40 keys, nested AdapterDetails and BatteryData.
platform::foundation::Value realistic_status();
// A settings file with every key set.
platform::foundation::Value full_settings();

class Workloads {
 public:
  Workloads();
  ~Workloads();
  // Loads SpringBoard's classes, the tweak and the panes into this process.
  void start_deliverables();
  // Memory and start-up figures, measured after the timed benchmarks.
  void add_extras();

 private:
  std::string m_root;
  std::unique_ptr<class Deliverables> m_deliverables;
};

}  // namespace px::bench
