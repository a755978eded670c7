#pragma once
// The main run loop of a process: poll over file descriptors and timers.
// Time comes from a Clock so that tests drive timers with a manual clock and
// run_until_idle instead of sleeping.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace px::platform::foundation {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in nanoseconds.
  virtual std::int64_t now_ns() const = 0;
};

class ManualClock : public Clock {
 public:
  std::int64_t now_ns() const override { return m_now; }
  void advance_ns(std::int64_t d) { m_now += d; }
  void advance(std::chrono::nanoseconds d) { m_now += d.count(); }

 private:
  std::int64_t m_now = 1'000'000'000;
};

class RunLoop {
 public:
  using Callback = std::function<void()>;
  using TimerId = std::uint64_t;

  static RunLoop& main();

  // Manual clock for tests; nullptr restores the steady clock.
  void set_clock(std::shared_ptr<Clock> clock);
  std::int64_t now_ns() const;

  // Called whenever `fd` is readable, until removed.
  void add_fd(int fd, Callback on_readable);
  void remove_fd(int fd);

  // Runs once after `delay_ns` (0: at the next turn of the loop); with a
  // period it repeats until cancelled.
  TimerId add_timer(std::int64_t delay_ns, Callback fire, std::int64_t period_ns = 0);
  void cancel_timer(TimerId id);

  // Called at the end of every turn of the loop, once its descriptors and
  // timers are served and before it waits again (CFRunLoop's "before waiting"
  // observer): what a turn changed can be published once, however many
  // pieces of work the turn held.
  void add_turn_observer(Callback after_turn);

  // Serves descriptors and timers until stop() is called.
  void run();
  void stop() { m_stopped = true; }
  // One turn: waits at most `timeout_ms` (-1: until something happens).
  void run_once(int timeout_ms);
  // Fires every due timer and serves every ready descriptor, repeatedly,
  // without waiting, until nothing more is due.
  void run_until_idle();
  // Waits for descriptors up to `timeout_ms`, then serves everything due.
  bool has_pending_timers() const { return !m_timers.empty(); }

  void reset_for_testing();

 private:
  struct Timer {
    std::int64_t due;
    std::int64_t period;
    Callback fire;
  };
  bool fire_due_timers();
  bool poll_fds(int timeout_ms);

  std::shared_ptr<Clock> m_clock;
  std::map<int, Callback> m_fds;
  std::map<TimerId, Timer> m_timers;
  std::vector<Callback> m_turn_observers;
  TimerId m_next_timer = 1;
  bool m_stopped = false;
};

// dispatch_after on the main queue.
void dispatch_after_ns(std::int64_t delay_ns, std::function<void()> work);

}  // namespace px::platform::foundation
