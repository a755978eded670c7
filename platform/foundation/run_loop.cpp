#include "platform/foundation/run_loop.h"

#include <poll.h>

#include <cerrno>
#include <time.h>

namespace px::platform::foundation {

RunLoop& RunLoop::main() {
  static RunLoop* loop = new RunLoop;
  return *loop;
}

void RunLoop::set_clock(std::shared_ptr<Clock> clock) { m_clock = std::move(clock); }

std::int64_t RunLoop::now_ns() const {
  if (m_clock) return m_clock->now_ns();
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

void RunLoop::add_fd(int fd, Callback on_readable) { m_fds[fd] = std::move(on_readable); }
void RunLoop::remove_fd(int fd) { m_fds.erase(fd); }

RunLoop::TimerId RunLoop::add_timer(std::int64_t delay_ns, Callback fire, std::int64_t period_ns) {
  TimerId id = m_next_timer++;
  m_timers.emplace(id, Timer{now_ns() + delay_ns, period_ns, std::move(fire)});
  return id;
}

void RunLoop::cancel_timer(TimerId id) { m_timers.erase(id); }

void RunLoop::add_turn_observer(Callback after_turn) { m_turn_observers.push_back(std::move(after_turn)); }

bool RunLoop::fire_due_timers() {
  bool fired = false;
  while (true) {
    std::int64_t now = now_ns();
    auto due = m_timers.end();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
      if (it->second.due <= now && (due == m_timers.end() || it->second.due < due->second.due)) due = it;
    if (due == m_timers.end()) return fired;
    Callback fire = due->second.fire;
    if (due->second.period > 0) {
      due->second.due += due->second.period;
      if (due->second.due <= now) due->second.due = now + due->second.period;
    } else {
      m_timers.erase(due);
    }
    fired = true;
    fire();
  }
}

bool RunLoop::poll_fds(int timeout_ms) {
  if (m_fds.empty()) {
    if (timeout_ms > 0) {
      timespec ts{timeout_ms / 1000, (timeout_ms % 1000) * 1'000'000L};
      nanosleep(&ts, nullptr);
    }
    return false;
  }
  std::vector<pollfd> fds;
  for (auto& [fd, _] : m_fds) fds.push_back(pollfd{fd, POLLIN, 0});
  int n = ::poll(fds.data(), fds.size(), timeout_ms);
  if (n <= 0) return false;
  bool served = false;
  for (auto& p : fds) {
    if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
    auto it = m_fds.find(p.fd);
    if (it == m_fds.end()) continue;  // removed by an earlier callback of this turn
    Callback cb = it->second;
    cb();
    served = true;
  }
  return served;
}

void RunLoop::run_once(int timeout_ms) {
  if (!m_clock && !m_timers.empty()) {
    std::int64_t next = INT64_MAX;
    for (auto& [_, t] : m_timers) next = std::min(next, t.due);
    std::int64_t wait = (next - now_ns()) / 1'000'000 + 1;
    if (wait < 0) wait = 0;
    if (timeout_ms < 0 || wait < timeout_ms) timeout_ms = static_cast<int>(wait);
  }
  poll_fds(timeout_ms);
  fire_due_timers();
  for (auto& observe : m_turn_observers) observe();
}

void RunLoop::run() {
  m_stopped = false;
  while (!m_stopped) run_once(-1);
}

void RunLoop::run_until_idle() {
  for (int guard = 0; guard < 100000; ++guard) {
    bool did = fire_due_timers();
    did = poll_fds(0) || did;
    if (!did) break;
  }
  for (auto& observe : m_turn_observers) observe();
}

void RunLoop::reset_for_testing() {
  m_fds.clear();
  m_timers.clear();
  m_turn_observers.clear();
  m_clock.reset();
  m_stopped = false;
}

void dispatch_after_ns(std::int64_t delay_ns, std::function<void()> work) {
  RunLoop::main().add_timer(delay_ns, std::move(work));
}

}  // namespace px::platform::foundation
