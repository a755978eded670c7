#include "platform/sqlite/database.h"

#include <sqlite3.h>

#include <utility>

namespace px::platform::sqlite {
namespace {

Result<> result_of(int code, sqlite3* db) {
  std::optional<Failure> failure = failure_of(code);
  if (!failure) return {};
  return Error{*failure, code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code)};
}

Error misuse(const char* what) { return Error{Failure::other, SQLITE_MISUSE, what}; }

}  // namespace

std::optional<Failure> failure_of(int sqlite_code) {
  switch (sqlite_code & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return std::nullopt;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return Failure::busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    // A value longer than the length bound: no file this system writes holds one.
    case SQLITE_TOOBIG:
      return Failure::corrupt;
    case SQLITE_FULL:
      return Failure::full;
    case SQLITE_CANTOPEN:
      return Failure::cant_open;
    case SQLITE_READONLY:
      return Failure::read_only;
    case SQLITE_IOERR:
      // A short read is what a truncated file gives.
      return sqlite_code == SQLITE_IOERR_SHORT_READ ? Failure::corrupt : Failure::other;
    default:
      return Failure::other;
  }
}

const char* failure_name(Failure failure) {
  switch (failure) {
    case Failure::busy:
      return "busy";
    case Failure::corrupt:
      return "corrupt";
    case Failure::full:
      return "disk full";
    case Failure::cant_open:
      return "cannot open";
    case Failure::read_only:
      return "read-only";
    case Failure::other:
      return "error";
  }
  return "error";
}

// ---- Statement

Statement::Statement(Statement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr)), m_db(other.m_db), m_status(std::move(other.m_status)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    if (m_stmt) sqlite3_finalize(m_stmt);
    m_stmt = std::exchange(other.m_stmt, nullptr);
    m_db = other.m_db;
    m_status = std::move(other.m_status);
  }
  return *this;
}

Statement::~Statement() {
  if (m_stmt) sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, std::optional<std::int64_t> value) {
  if (!m_stmt) return;
  if (value)
    sqlite3_bind_int64(m_stmt, index, *value);
  else
    sqlite3_bind_null(m_stmt, index);
}

void Statement::bind(int index, std::optional<double> value) {
  if (!m_stmt) return;
  if (value)
    sqlite3_bind_double(m_stmt, index, *value);
  else
    sqlite3_bind_null(m_stmt, index);
}

void Statement::bind(int index, std::string_view text) {
  if (m_stmt) sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

bool Statement::step() {
  if (!m_stmt) {
    m_status = misuse("statement not compiled");
    return false;
  }
  int rc = sqlite3_step(m_stmt);
  m_status = result_of(rc, m_db);
  return rc == SQLITE_ROW;
}

void Statement::reset() {
  if (!m_stmt) return;
  sqlite3_reset(m_stmt);
  sqlite3_clear_bindings(m_stmt);
  m_status = {};
}

bool Statement::column_is_null(int index) const { return !m_stmt || sqlite3_column_type(m_stmt, index) == SQLITE_NULL; }

std::optional<std::int64_t> Statement::column_int(int index) const {
  if (!m_stmt) return std::nullopt;
  switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_INTEGER:
      return sqlite3_column_int64(m_stmt, index);
    case SQLITE_FLOAT: {
      // A hostile file may hold any real here; only those an integer can hold convert.
      double d = sqlite3_column_double(m_stmt, index);
      if (!(d > -9.2e18 && d < 9.2e18)) return std::nullopt;
      return static_cast<std::int64_t>(d);
    }
    default:
      return std::nullopt;  // NULL, text and blobs are not numbers here
  }
}

std::optional<double> Statement::column_real(int index) const {
  if (!m_stmt) return std::nullopt;
  int type = sqlite3_column_type(m_stmt, index);
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return std::nullopt;
  return sqlite3_column_double(m_stmt, index);
}

std::string Statement::column_text(int index) const {
  if (!m_stmt) return {};
  const unsigned char* text = sqlite3_column_text(m_stmt, index);
  int n = sqlite3_column_bytes(m_stmt, index);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n)) : std::string();
}

// ---- Database

Database::Database(Database&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    close();
    m_db = std::exchange(other.m_db, nullptr);
  }
  return *this;
}

Database::~Database() { close(); }

void Database::close() {
  // close_v2 finalises lazily should a statement outlive the connection.
  if (m_db) sqlite3_close_v2(m_db);
  m_db = nullptr;
}

Result<Database> Database::open(const std::string& host_path, OpenMode mode) {
  int flags = SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
  flags |= mode == OpenMode::read_only ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(host_path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    Error error{failure_of(rc).value_or(Failure::other), rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)};
    sqlite3_close_v2(db);
    return error;
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  // Bounds on what a crafted file can make a query build.
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
  sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 1 << 16);
  sqlite3_limit(db, SQLITE_LIMIT_EXPR_DEPTH, 64);
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  Database out;
  out.m_db = db;
  TRY(out.exec("PRAGMA mmap_size=0; PRAGMA cell_size_check=ON;"));
  return out;
}

Result<> Database::exec(std::string_view sql) {
  if (!m_db) return misuse("database not open");
  std::string text(sql);
  int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, nullptr);
  return result_of(rc, m_db);
}

Result<Statement> Database::prepare(std::string_view sql) {
  if (!m_db) return misuse("database not open");
  sqlite3_stmt* stmt = nullptr;
  int rc =
      sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return Error{failure_of(rc).value_or(Failure::other), rc, sqlite3_errmsg(m_db)};
  }
  return Statement(stmt, m_db);
}

Result<std::optional<std::int64_t>> Database::query_int(std::string_view sql) {
  Statement st = TRY(prepare(sql));
  bool row = st.step();
  TRY(st.status());
  if (!row) return std::optional<std::int64_t>();
  return st.column_int(0);
}

void Database::set_busy_timeout(int milliseconds) {
  if (m_db) sqlite3_busy_timeout(m_db, milliseconds);
}

void Database::set_max_page_count(std::int64_t pages) {
  if (m_db && pages > 0) (void)exec("PRAGMA max_page_count=" + std::to_string(pages));
}

std::int64_t Database::changes() const { return m_db ? sqlite3_changes64(m_db) : 0; }
std::int64_t Database::last_insert_rowid() const { return m_db ? sqlite3_last_insert_rowid(m_db) : 0; }

// ---- Transaction

Transaction::Transaction(Database& db, std::string_view kind) : m_db(db) {
  m_begin = m_db.exec("BEGIN " + std::string(kind));
  m_open = m_begin.ok();
}

Transaction::~Transaction() {
  if (m_open) (void)m_db.exec("ROLLBACK");
}

Result<> Transaction::commit() {
  if (!m_open) return m_begin.ok() ? Result<>(misuse("no transaction")) : m_begin;
  Result<> s = m_db.exec("COMMIT");
  // A failed COMMIT (busy, full) leaves the transaction open; the destructor rolls it back.
  if (s.ok()) m_open = false;
  return s;
}

}  // namespace px::platform::sqlite
