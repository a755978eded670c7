#pragma once
// The state document and its generation, kept current for every subscriber.
// A change marks the feed dirty; one builder thread composes the document
// whenever it is dirty. Changes that arrive while it composes are taken by
// the next composition, so a burst of changes costs at most two, with no
// timer: coalescing falls out of the builder being busy. A composition equal
// to the last one (a change the page cannot see) makes no new generation.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

namespace px::host::web {

struct StateSnapshot {
  long long generation = 0;
  std::shared_ptr<const std::string> json;  // the document with its "generation"
};

class StateFeed {
 public:
  using Composer = std::function<nlohmann::json()>;
  explicit StateFeed(Composer compose);
  ~StateFeed();
  StateFeed(const StateFeed&) = delete;
  StateFeed& operator=(const StateFeed&) = delete;

  // Composes the first document, then starts the builder thread.
  void start();
  // Wakes every waiting subscriber and stops the builder.
  void stop();

  // Something on the device changed (any thread).
  void mark_changed();

  StateSnapshot current() const;
  // Waits until a generation newer than `seen` exists (it is returned), or
  // until `timeout` passes or the feed stops (nothing is returned).
  std::optional<StateSnapshot> wait_newer(long long seen, std::chrono::milliseconds timeout) const;
  bool stopped() const;

  // The server's own part of the document: "commands" (what the page's
  // commands wait for), merged into every composition. Null takes it out.
  void set_commands(nlohmann::json commands);

  // Composes now on the calling thread (tests and start()).
  void rebuild();

 private:
  void run();

  Composer m_compose;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;    // builder: dirty or stopping
  mutable std::condition_variable m_published;  // subscribers: new generation or stopping
  bool m_dirty = false;
  bool m_stopping = false;
  nlohmann::json m_commands;  // guarded by m_mutex
  std::string m_last_body;    // the last document without its generation
  StateSnapshot m_current;
  std::thread m_builder;
};

}  // namespace px::host::web
