#pragma once
// The history store read again and again by one process (the page's server at
// every change it sees, the Settings app at every render of a pane).
//
// Even a read-only open of the store (a WAL database) opens its -wal and -shm
// files for writing and closes them again, which a watcher of the store's
// folder sees as a change. A reader that opened the store at each change it
// was shown would show the next change itself, and read without end. So the
// connection is kept between reads, opened again only when another file took
// the store's place; and an open that failed is tried again only once the
// store's files were written since (or when it failed only on a busy store).

#include <sys/types.h>

#include <ctime>
#include <string_view>

#include "history/store.h"
#include "shared/names.h"

namespace px::history {

// What tells one state of the store from another without opening it: the
// store's and its log's identity, size and modification time. Not their
// change time: an open changes that of the log (giving it the owner the
// store has) without writing anything.
struct StoreStamp {
  struct File {
    bool present = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified_ns = 0;
    bool operator==(const File&) const = default;
    bool same_file(const File& other) const {
      return present && other.present && device == other.device && inode == other.inode;
    }
  };
  File store, log;
  bool operator==(const StoreStamp&) const = default;

  static StoreStamp of(std::string_view device_file = shared::kHistoryStoreFile);
};

class KeptReader {
 public:
  // The reader, open on the store as it is now; null when there is no store
  // or it cannot be read (until it is written again).
  HistoryReader* reader();

 private:
  HistoryReader m_reader;
  StoreStamp m_tried;       // the store before the last open, its log after it
  bool m_try_again = true;  // no open yet, or the last one met a busy store
};

}  // namespace px::history
