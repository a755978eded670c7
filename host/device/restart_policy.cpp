#include "host/device/restart_policy.h"

namespace px::host::device {

void RestartPolicy::record_death(double now_s) {
  ++m_total;
  if (m_safe) {
    ++m_deaths_in_safe_mode;
    return;
  }
  m_recent.push_back(now_s);
  while (!m_recent.empty() && now_s - m_recent.front() > m_window) m_recent.pop_front();
  if (static_cast<int>(m_recent.size()) >= m_limit) {
    m_safe = true;
    m_recent.clear();
  }
}

void RestartPolicy::respring() {
  m_safe = false;
  m_recent.clear();
  m_deaths_in_safe_mode = 0;
}

}  // namespace px::host::device
