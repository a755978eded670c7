#include "history/kept_reader.h"

#include "platform/sim/device_paths.h"
#include "platform/sim/file_identity.h"
#include "platform/sqlite/device_database.h"

namespace px::history {

StoreStamp StoreStamp::of(std::string_view device_file) {
  auto file = [](const std::string& host_path) {
    auto id = platform::sim::FileIdentity::at(host_path);
    if (id.kind != platform::sim::FileIdentity::Kind::present) return File{};
    return File{true, id.device, id.inode, id.size,
                static_cast<std::int64_t>(id.modified.tv_sec) * 1'000'000'000 + id.modified.tv_nsec};
  };
  std::string store = platform::sim::DevicePath(device_file).host();
  return {file(store), file(store + platform::sqlite::kCompanionSuffixes[0])};
}

HistoryReader* KeptReader::reader() {
  StoreStamp now = StoreStamp::of();
  if (m_reader.is_open()) {
    // Rows written since reach the open connection; only another file in the
    // store's place (or none) needs a new one.
    if (now.store.same_file(m_tried.store)) return &m_reader;
    m_reader.close();
    m_try_again = true;
  }
  if (!now.store.present) {
    // A read-only open never makes the store: nothing to try until it exists.
    m_try_again = true;
    return nullptr;
  }
  if (!m_try_again && now == m_tried) return nullptr;
  StoreResult<> opened = m_reader.open();
  m_try_again = !opened.ok() && opened.error().problem == StoreProblem::busy;
  // The store as it was before the open (one replaced meanwhile is seen at
  // the next read), its log as the open left it (an open may make the log).
  m_tried = {now.store, StoreStamp::of().log};
  return m_reader.is_open() ? &m_reader : nullptr;
}

}  // namespace px::history
