#pragma once
// When SpringBoard keeps dying, restarting it as it was only repeats the
// crash: after `limit` deaths within `window` seconds the next start is in
// safe mode (no tweaks), and safe mode lasts until a respring asks to leave it.

#include <deque>

namespace px::host::device {

class RestartPolicy {
 public:
  explicit RestartPolicy(int limit = 3, double window_s = 30) : m_limit(limit), m_window(window_s) {}

  // SpringBoard died on its own (crashed, or was killed from outside) at `now_s`.
  void record_death(double now_s);
  // A respring: safe mode ends and earlier deaths are forgotten.
  void respring();

  bool safe_mode() const { return m_safe; }
  // Seconds to wait before starting again: none, unless SpringBoard crashes
  // even in safe mode, when the restarts slow down instead of spinning.
  double restart_delay() const { return m_safe && m_deaths_in_safe_mode > 1 ? 2.0 : 0.0; }
  int deaths() const { return m_total; }

 private:
  int m_limit;
  double m_window;
  std::deque<double> m_recent;
  bool m_safe = false;
  int m_deaths_in_safe_mode = 0;
  int m_total = 0;
};

}  // namespace px::host::device
