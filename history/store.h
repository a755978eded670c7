#pragma once
// The battery history store: one SQLite file on the device, written only by
// the tweak (inside SpringBoard's battery broadcast handler) and read by the
// settings bundle and `simdevice history` through read-only connections.
//
// WAL journal with synchronous=NORMAL: an insert is one short transaction that
// a crash loses at most whole, never half. The writer waits at most
// kWriterLockWaitMilliseconds for a lock (readers opening and starting a read
// hold one for moments; without a wait a pane reading in a loop cost hundreds
// of samples in a row), then skips that sample. The file is untrusted
// input (defensive mode, no trusted schema), and is opened inside the device
// root like every other file.

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/health.h"
#include "history/sample.h"
#include "history/sessions.h"
#include "history/thinning.h"
#include "platform/sqlite/database.h"
#include "shared/names.h"

namespace px::history {

// The schema this build writes. Readers accept this version and older ones
// the writer has not migrated yet; the writer migrates older ones up and
// leaves newer ones alone.
inline constexpr std::int64_t kSchemaVersion = 1;
// The longest the writer waits for a lock before skipping a sample: long
// enough for a reader's open or snapshot, short enough for a broadcast.
inline constexpr int kWriterLockWaitMilliseconds = 50;

enum class StoreProblem {
  missing,       // no store yet (readers only: the writer makes one)
  busy,          // another connection holds the lock
  corrupt,       // not a store, damaged, or a folder or link in its place
  full,          // the disk is full
  newer_schema,  // written by a newer version of the add-on
  low_space,     // the writer left the disk's last space to the battery data file
  unwritable,    // the store (or its log) cannot be changed
  unavailable,   // cannot be opened or read for another reason
};

// Why the store could not be read or written.
struct StoreError {
  StoreProblem problem = StoreProblem::unavailable;
  std::string detail;
  StoreError() = default;
  StoreError(StoreProblem p, std::string d) : problem(p), detail(std::move(d)) {}
  // SQLite's failure as the store names it (busy, corrupt, full, unwritable,
  // else unavailable): TRY passes one up from a step of the store.
  StoreError(const platform::sqlite::Error& error);  // NOLINT: implicit by design
};

template <class T = void>
using StoreResult = platform::foundation::Result<T, StoreError>;

const char* problem_name(StoreProblem problem);

// A read-only view of the store. Each query runs inside the read transaction
// begun by begin_read (or its own, when none is open): a pane render opens
// one, runs every query it needs, and sees one consistent state while the
// tweak keeps writing.
class HistoryReader {
 public:
  // Opens the store read-only. `missing` when there is none. Another device
  // file may be named (a store kept aside, a benchmark's).
  StoreResult<> open(std::string_view device_file = shared::kHistoryStoreFile);
  bool is_open() const { return m_db.is_open(); }
  void close() { m_db.close(); }

  StoreResult<> begin_read();
  void end_read();

  // Readers never hold the whole store: each row goes to `each` as it is
  // read (oldest first), and `each` returning false stops the walk. Rows at
  // times outside the device's range are skipped.
  using EachSample = std::function<bool(const Sample&)>;
  // Samples with time in [since, until] (either bound optional).
  void each_sample(std::optional<std::int64_t> since, std::optional<std::int64_t> until, const EachSample& each);
  // Every sample with only the readings the History pane derives its figures
  // from: level, charger, full, raw, max and design capacity, cycles and
  // watts (IsCharging, temperature, voltage and current read as absent).
  // With `restart`, rows come in the table's own order, which is time order
  // unless the clock was once set back (walking the time index costs a seek
  // per row); at the first row out of time order, `restart` is called and
  // the walk begins again through the index. Without it, the index at once.
  void each_overview_sample(const EachSample& each, const std::function<void()>& restart = nullptr);
  // The same, collected (tests, and stores known to be small).
  std::vector<Sample> samples(std::optional<std::int64_t> since = std::nullopt,
                              std::optional<std::int64_t> until = std::nullopt);
  std::vector<Sample> overview_samples();
  // The newest sample, if any.
  std::optional<Sample> last_sample();
  std::int64_t sample_count();
  // Problems met by the queries since open (a query that failed returns what it read).
  const StoreResult<>& status() const { return m_status; }

  platform::sqlite::Database& database() { return m_db; }

 private:
  StoreResult<> open_checked(std::string_view device_file);
  void note(const platform::sqlite::Result<>& s);
  platform::sqlite::Database m_db;
  StoreResult<> m_status;
  bool m_in_read = false;
};

// What record() did with a sample.
enum class RecordOutcome { stored, repeated, skipped };

struct RecordResult {
  RecordOutcome outcome = RecordOutcome::skipped;
  StoreResult<> status;           // why it was skipped, or a problem met on the way
  bool replaced_corrupt = false;  // a corrupt store was moved aside and a new one started
  std::string moved_aside_to;     // where it went (device path)
};

// The tweak's connection. Opened on first use and kept across broadcasts;
// reopened when the file is replaced or removed under it.
class HistoryWriter {
 public:
  struct Options {
    // The longest a thinning pass may run inside one broadcast.
    double thinning_budget_seconds = 0.02;
    // Pages the file may grow to (0: unbounded); lets tests fill the "disk".
    std::int64_t max_pages = 0;
    // The store's device path.
    const char* device_file = shared::kHistoryStoreFile;
    // Free bytes on the store's disk (none: unknown). The battery data file
    // is written first and must always find room: below reserve_bytes free,
    // the sample is skipped. Tests give a probe of their own.
    std::function<std::optional<std::uint64_t>(const std::string& host_folder)> free_bytes;
    std::uint64_t reserve_bytes = 1 << 20;
    // The write-ahead log's bound: past it a checkpoint is forced, and while
    // one cannot bring it back (an immutable store file, a reader that never
    // ends) samples are skipped rather than let the log grow.
    std::int64_t wal_limit_bytes = 8 << 20;
  };
  HistoryWriter() = default;
  explicit HistoryWriter(Options options) : m_options(options) {}

  // Records one sample taken at device time `now` (thinning, when due, runs
  // after it). Never throws; waits on a lock at most kWriterLockWaitMilliseconds.
  RecordResult record(const Sample& sample, std::int64_t now);
  // Forgets every sample inside the store: the rows are deleted in one
  // transaction with secure_delete (their pages are zeroed, nothing lingers)
  // and the log checkpointed. The files stay: readers with them open see the
  // old samples or none, never a file removed under them.
  StoreResult<> clear(std::int64_t now);
  void close();
  bool is_open() const { return m_db.is_open(); }

  // Runs thinning now, whatever the day's schedule says (tests, benchmarks).
  StoreResult<> thin_now(std::int64_t now);

 private:
  RecordResult open_store(std::int64_t now);
  StoreResult<> open_connection(platform::sqlite::Database db);
  platform::sqlite::Result<> load_state();
  StoreResult<> room_to_write();
  bool store_replaced_under_us() const;
  RecordResult insert(const Sample& sample);
  StoreResult<> thin_if_due(std::int64_t now);
  StoreResult<> note_written(std::int64_t time);
  StoreResult<> thin(std::int64_t now, double budget_seconds);
  bool keep_store_aside(const std::string& host_path, std::int64_t now, RecordResult& result);

  Options m_options;
  platform::sqlite::Database m_db;
  platform::sqlite::Statement m_insert;
  std::string m_host_path;
  std::uint64_t m_inode = 0, m_device = 0;
  std::optional<Sample> m_last;
  std::int64_t m_next_thinning = 0;        // device time from which a new pass may start
  bool m_thinning_pending = false;         // a pass ran out of time and continues next broadcast
  std::int64_t m_latest_mark = INT64_MAX;  // the latest day a thinning pass has been up to
  // Per thinning tier (daily, hourly): the charger and fullness states the
  // samples before `day` left, as the last pass left off, so a pass continuing
  // where that one stopped need not read them back from the store.
  // `within`: how far a pass cut short by its budget got inside `day`.
  struct TierCursor {
    std::int64_t day = INT64_MIN;
    ChargeState state;
    std::optional<DayProgress> within;
  };
  TierCursor m_tier_cursors[2];
};

}  // namespace px::history
