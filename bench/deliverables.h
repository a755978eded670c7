#pragma once
// SpringBoard's classes with the real tweak library loaded, and the settings
// bundle's panes, inside the benchmark process.

#include <memory>

namespace px::bench {

class Deliverables {
 public:
  Deliverables();
  ~Deliverables();
  bool tweak_loaded() const { return m_tweak != nullptr; }
  // The tweak's settings loader, looked up in the library.
  void (*load_settings)() = nullptr;

 private:
  struct Host;
  std::unique_ptr<Host> m_host;
  void* m_tweak = nullptr;
};

// Resident set of a fresh SpringBoard (in a child process) after `broadcasts`
// battery broadcasts, in KiB; with_tweak selects whether the tweak is loaded.
long resident_kib_after_broadcasts(bool with_tweak, int broadcasts);
// Milliseconds from starting the SpringBoard binary to its first status-bar text.
double springboard_start_to_status_bar_ms();

}  // namespace px::bench
