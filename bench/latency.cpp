#include "bench/latency.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_paths.h"

namespace px::bench {
namespace {

std::int64_t now_ns() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

// Runs `observe(report)` in a child; the child calls report() from its
// callback, which sends the callback time back through a pipe. The parent
// posts with `post()` one at a time and waits for each answer.
template <class Observe, class Post>
Percentiles measure(int posts, Observe observe, Post post) {
  int times[2], ready[2];
  if (pipe(times) != 0 || pipe(ready) != 0) return {};
  pid_t child = fork();
  if (child == 0) {
    close(times[0]);
    close(ready[0]);
    observe(
        [fd = times[1]] {
          std::int64_t t = now_ns();
          ssize_t n = write(fd, &t, sizeof t);
          (void)n;
        },
        ready[1]);
    _exit(0);
  }
  close(times[1]);
  close(ready[1]);
  char c;
  if (read(ready[0], &c, 1) != 1) return {};
  std::vector<std::int64_t> samples;
  samples.reserve(static_cast<std::size_t>(posts));
  for (int i = 0; i < posts; ++i) {
    std::int64_t sent = now_ns();
    post();
    std::int64_t seen = 0;
    if (read(times[0], &seen, sizeof seen) != sizeof seen) break;
    samples.push_back(seen - sent);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(times[0]);
  close(ready[0]);
  return percentiles(std::move(samples));
}

}  // namespace

Percentiles percentiles(std::vector<std::int64_t> samples) {
  if (samples.empty()) return {};
  std::sort(samples.begin(), samples.end());
  auto at = [&](double q) {
    return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))] / 1000.0;
  };
  return Percentiles{at(0.50), at(0.99)};
}

Percentiles darwin_post_to_callback(int posts) {
  return measure(
      posts,
      [](auto report, int ready_fd) {
        platform::foundation::darwin::reset_for_testing();
        platform::foundation::darwin::observe("bench.latency", [report](std::string_view) { report(); });
        ssize_t n = write(ready_fd, "r", 1);
        (void)n;
        platform::foundation::RunLoop::main().run();
      },
      [] { platform::foundation::darwin::post("bench.latency"); });
}

Percentiles inotify_touch_to_read(int posts) {
  std::string folder = platform::sim::DevicePath("/var/run/notify").host();
  std::string file = folder + "/bench.floor";
  return measure(
      posts,
      [folder](auto report, int ready_fd) {
        int fd = inotify_init1(IN_CLOEXEC);
        inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE);
        ssize_t n = write(ready_fd, "r", 1);
        (void)n;
        alignas(inotify_event) char buf[4096];
        while (read(fd, buf, sizeof buf) > 0) report();
      },
      [file] {
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) close(fd);
      });
}

}  // namespace px::bench
