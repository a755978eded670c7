#include "host/web/state_feed.h"
#include "host/common/value_json.h"

namespace px::host::web {

StateFeed::StateFeed(Composer compose) : m_compose(std::move(compose)) {
  m_current.json = std::make_shared<const std::string>("{}");
}

StateFeed::~StateFeed() { stop(); }

void StateFeed::start() {
  rebuild();
  m_builder = std::thread([this] { run(); });
}

void StateFeed::stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  m_published.notify_all();
  if (m_builder.joinable()) m_builder.join();
}

void StateFeed::mark_changed() {
  {
    std::lock_guard lock(m_mutex);
    m_dirty = true;
  }
  m_changed.notify_one();
}

StateSnapshot StateFeed::current() const {
  std::lock_guard lock(m_mutex);
  return m_current;
}

bool StateFeed::stopped() const {
  std::lock_guard lock(m_mutex);
  return m_stopping;
}

std::optional<StateSnapshot> StateFeed::wait_newer(long long seen, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  m_published.wait_for(lock, timeout, [&] { return m_stopping || m_current.generation > seen; });
  if (m_stopping || m_current.generation <= seen) return std::nullopt;
  return m_current;
}

void StateFeed::set_commands(nlohmann::json commands) {
  {
    std::lock_guard lock(m_mutex);
    m_commands = std::move(commands);
  }
  mark_changed();
}

void StateFeed::rebuild() {
  nlohmann::json doc = m_compose();
  if (!doc.is_object()) doc = nlohmann::json::object();
  {
    std::lock_guard lock(m_mutex);
    if (!m_commands.is_null()) doc["commands"] = m_commands;
  }
  std::string body = common::json_text(doc);
  std::lock_guard lock(m_mutex);
  if (body == m_last_body && m_current.generation > 0) return;
  long long generation = m_current.generation + 1;
  // The composer gives an object, so its text starts with "{": the generation goes first.
  std::string with_generation =
      "{\"generation\":" + std::to_string(generation) + (body.size() > 2 ? "," : "") + body.substr(1);
  m_last_body = std::move(body);
  m_current = StateSnapshot{generation, std::make_shared<const std::string>(std::move(with_generation))};
  m_published.notify_all();
}

void StateFeed::run() {
  while (true) {
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return m_dirty || m_stopping; });
      if (m_stopping) return;
      m_dirty = false;
    }
    rebuild();
  }
}

}  // namespace px::host::web
