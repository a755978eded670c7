#pragma once
// A thin owner of SQLite connections and statements. Every failure comes back
// as an Error in a Result (never an exception), classified into the few kinds a caller
// acts on differently: a store that is busy is skipped, a corrupt one is
// replaced, a full disk is waited out.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace px::platform::sqlite {

enum class Failure {
  busy,       // another connection holds the lock the statement needs
  corrupt,    // not a database, or a damaged one
  full,       // the disk (or the page limit) is full
  cant_open,  // no such file, a folder, a link, or a path outside the root
  read_only,  // written through a read-only connection or file
  other,      // anything else (I/O, constraint, misuse)
};

struct Error {
  Failure failure = Failure::other;
  int code = 0;  // SQLite's extended result code (0: refused before SQLite was asked)
  std::string message;
};

template <class T = void>
using Result = foundation::Result<T, Error>;

// The kind of failure an extended result code is (none for SQLITE_OK, _ROW, _DONE).
std::optional<Failure> failure_of(int sqlite_code);
const char* failure_name(Failure failure);

class Statement {
 public:
  Statement() = default;
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  bool valid() const { return m_stmt != nullptr; }

  // Parameters count from 1, as in SQL's "?1". An empty optional binds NULL.
  void bind(int index, std::optional<std::int64_t> value);
  void bind(int index, std::optional<double> value);
  void bind(int index, std::string_view text);

  // Runs one step: true when a row is ready to read; false when the statement
  // is done or failed (status() tells which). Rows are read in a loop
  // (`while (st.step())`), and the loop's end checked once after it.
  bool step();
  const Result<>& status() const { return m_status; }
  // Ready to run again with new bindings.
  void reset();

  bool column_is_null(int index) const;
  std::optional<std::int64_t> column_int(int index) const;
  std::optional<double> column_real(int index) const;
  std::string column_text(int index) const;

 private:
  friend class Database;
  Statement(sqlite3_stmt* stmt, sqlite3* db) : m_stmt(stmt), m_db(db) {}
  sqlite3_stmt* m_stmt = nullptr;
  sqlite3* m_db = nullptr;
  Result<> m_status;
};

enum class OpenMode { read_only, read_write_create };

class Database {
 public:
  Database() = default;
  Database(Database&& other) noexcept;
  Database& operator=(Database&& other) noexcept;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database();

  // Opens a host file. Links are refused (SQLITE_OPEN_NOFOLLOW), defensive
  // mode is on, the schema is not trusted, triggers and views are off and
  // nothing is memory-mapped: a database file is untrusted input.
  static Result<Database> open(const std::string& host_path, OpenMode mode);

  bool is_open() const { return m_db != nullptr; }
  void close();

  // Runs one or more statements that return no rows.
  Result<> exec(std::string_view sql);
  // Compiles one statement.
  Result<Statement> prepare(std::string_view sql);
  // The single integer a query such as "PRAGMA user_version" returns; none
  // when it returns no row or NULL.
  Result<std::optional<std::int64_t>> query_int(std::string_view sql);

  // Milliseconds a statement waits on another connection's lock; 0 fails at once.
  void set_busy_timeout(int milliseconds);
  // The most pages the file may grow to (SQLITE_FULL beyond it); 0 leaves it alone.
  void set_max_page_count(std::int64_t pages);
  std::int64_t changes() const;
  std::int64_t last_insert_rowid() const;

 private:
  sqlite3* m_db = nullptr;
};

// Begins a transaction on construction and rolls it back on destruction
// unless commit() succeeded.
class Transaction {
 public:
  // kind: "DEFERRED", "IMMEDIATE" (takes the write lock now) or "EXCLUSIVE".
  Transaction(Database& db, std::string_view kind = "DEFERRED");
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  const Result<>& begun() const { return m_begin; }
  Result<> commit();

 private:
  Database& m_db;
  Result<> m_begin;
  bool m_open = false;
};

}  // namespace px::platform::sqlite
