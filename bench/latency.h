#pragma once
// One-way latencies between two real processes: the time from a post in this
// process to the observer's callback in another, read on the shared
// monotonic clock.

#include <cstdint>
#include <vector>

namespace px::bench {

struct Percentiles {
  double p50_us = 0;
  double p99_us = 0;
};

Percentiles percentiles(std::vector<std::int64_t> samples_ns);

// Darwin notification centre: post here, callback in a child process.
Percentiles darwin_post_to_callback(int posts);
// The mechanism underneath with nothing on top: a file closed after writing
// here, the inotify event read in a child process.
Percentiles inotify_touch_to_read(int posts);

}  // namespace px::bench
