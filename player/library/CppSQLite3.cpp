#include "player/library/CppSQLite3.h"

#include <sqlite3.h>

#include <cstring>

namespace {

constexpr int kDefaultBusyTimeoutMs = 60000;

const char* const kDatabaseNotOpen = "Database not open";
const char* const kNullStatement = "Null Virtual Machine pointer";
const char* const kInvalidFieldName = "Invalid field name requested";
const char* const kInvalidFieldIndex = "Invalid field index requested";
const char* const kInvalidScalarQuery = "Invalid scalar query";
const char* const kUnableToClose = "Unable to close database";

[[noreturn]] void RaiseWrapperError(const char* text) { throw CppSQLite3Exception(CPPSQLITE_ERROR, text, false); }

[[noreturn]] void RaiseSQLiteError(sqlite3* db, int code) {
  throw CppSQLite3Exception(code, db ? sqlite3_errmsg(db) : nullptr, false);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CppSQLite3Exception

CppSQLite3Exception::CppSQLite3Exception(int code, const char* message, bool freeMessage)
    : m_nErrCode(code), m_pszErrMessage(nullptr) {
  m_pszErrMessage = sqlite3_mprintf("%s[%d]: %s", ErrorCodeAsString(code), code, message ? message : "");
  if (freeMessage && message) sqlite3_free(const_cast<char*>(message));
}

CppSQLite3Exception::CppSQLite3Exception(const CppSQLite3Exception& other)
    : m_nErrCode(other.m_nErrCode), m_pszErrMessage(nullptr) {
  if (other.m_pszErrMessage) m_pszErrMessage = sqlite3_mprintf("%s", other.m_pszErrMessage);
}

CppSQLite3Exception& CppSQLite3Exception::operator=(const CppSQLite3Exception& other) {
  if (this != &other) {
    char* copy = other.m_pszErrMessage ? sqlite3_mprintf("%s", other.m_pszErrMessage) : nullptr;
    sqlite3_free(m_pszErrMessage);
    m_pszErrMessage = copy;
    m_nErrCode = other.m_nErrCode;
  }
  return *this;
}

CppSQLite3Exception::~CppSQLite3Exception() { sqlite3_free(m_pszErrMessage); }

const char* CppSQLite3Exception::ErrorCodeAsString(int code) {
  static const char* const kNames[] = {
      "SQLITE_OK",     "SQLITE_ERROR",    "SQLITE_INTERNAL", "SQLITE_PERM",   "SQLITE_ABORT",
      "SQLITE_BUSY",   "SQLITE_LOCKED",   "SQLITE_NOMEM",    "SQLITE_READONLY", "SQLITE_INTERRUPT",
      "SQLITE_IOERR",  "SQLITE_CORRUPT",  "SQLITE_NOTFOUND", "SQLITE_FULL",   "SQLITE_CANTOPEN",
      "SQLITE_PROTOCOL", "SQLITE_EMPTY",  "SQLITE_SCHEMA",   "SQLITE_TOOBIG", "SQLITE_CONSTRAINT",
      "SQLITE_MISMATCH", "SQLITE_MISUSE", "SQLITE_NOLFS",    "SQLITE_AUTH",   "SQLITE_FORMAT",
      "SQLITE_RANGE",
  };
  if (code >= 0 && code < (int)(sizeof(kNames) / sizeof(kNames[0]))) return kNames[code];
  switch (code) {
    case SQLITE_ROW: return "SQLITE_ROW";
    case SQLITE_DONE: return "SQLITE_DONE";
    case CPPSQLITE_ERROR: return "CPPSQLITE_ERROR";
    default: return "UNKNOWN_ERROR";
  }
}

// ---------------------------------------------------------------------------------------------
// CppSQLite3Query

CppSQLite3Query::CppSQLite3Query() : m_pDB(nullptr), m_pVM(nullptr), m_bEof(true), m_nCols(0), m_bOwnVM(false) {}

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool atEnd, bool ownStatement)
    : m_pDB(db), m_pVM(stmt), m_bEof(atEnd), m_nCols(stmt ? sqlite3_column_count(stmt) : 0), m_bOwnVM(ownStatement) {}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& other) noexcept
    : m_pDB(other.m_pDB), m_pVM(other.m_pVM), m_bEof(other.m_bEof), m_nCols(other.m_nCols), m_bOwnVM(other.m_bOwnVM) {
  other.m_pVM = nullptr;
}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& other) {
  if (this != &other) {
    try {
      Finish();
    } catch (const CppSQLite3Exception&) {
      // The old statement is gone either way; its finalize result no longer matters.
    }
    m_pDB = other.m_pDB;
    m_pVM = other.m_pVM;
    m_bEof = other.m_bEof;
    m_nCols = other.m_nCols;
    m_bOwnVM = other.m_bOwnVM;
    other.m_pVM = nullptr;
  }
  return *this;
}

CppSQLite3Query::~CppSQLite3Query() {
  try {
    Finish();
  } catch (const CppSQLite3Exception&) {
  }
}

void CppSQLite3Query::CheckStatement() const {
  if (!m_pVM) RaiseWrapperError(kNullStatement);
}

bool CppSQLite3Query::IsEnd() const { return m_pVM ? m_bEof : true; }

void CppSQLite3Query::Next() {
  CheckStatement();
  int rc = sqlite3_step(m_pVM);
  if (rc == SQLITE_DONE) {
    m_bEof = true;
  } else if (rc != SQLITE_ROW) {
    rc = sqlite3_finalize(m_pVM);
    m_pVM = nullptr;
    RaiseSQLiteError(m_pDB, rc);
  }
}

int CppSQLite3Query::ColumnCount() const {
  CheckStatement();
  return m_nCols;
}

int CppSQLite3Query::ColumnIndex(const char* name) const {
  CheckStatement();
  if (name) {
    for (int i = 0; i < m_nCols; ++i) {
      const char* column = sqlite3_column_name(m_pVM, i);
      if (column && std::strcmp(column, name) == 0) return i;
    }
  }
  RaiseWrapperError(kInvalidFieldName);
}

int CppSQLite3Query::ColumnType(int index) const {
  CheckStatement();
  if (index < 0 || index > m_nCols - 1) RaiseWrapperError(kInvalidFieldIndex);
  return sqlite3_column_type(m_pVM, index);
}

const char* CppSQLite3Query::Text(const char* name) const {
  int index = ColumnIndex(name);
  return reinterpret_cast<const char*>(sqlite3_column_text(m_pVM, index));
}

int CppSQLite3Query::Int(int index, int defaultValue) const {
  if (ColumnType(index) == SQLITE_NULL) return defaultValue;
  return sqlite3_column_int(m_pVM, index);
}

void CppSQLite3Query::Finish() {
  if (m_pVM && m_bOwnVM) {
    int rc = sqlite3_finalize(m_pVM);
    m_pVM = nullptr;
    if (rc != SQLITE_OK) RaiseSQLiteError(m_pDB, rc);
  }
  m_pVM = nullptr;
}

// ---------------------------------------------------------------------------------------------
// CppSQLite3DB

CppSQLite3DB::CppSQLite3DB() : m_pDB(nullptr), m_nBusyTimeoutMs(kDefaultBusyTimeoutMs) {}

CppSQLite3DB::~CppSQLite3DB() {
  try {
    Close();
  } catch (const CppSQLite3Exception&) {
  }
}

void CppSQLite3DB::CheckDB() const {
  if (!m_pDB) RaiseWrapperError(kDatabaseNotOpen);
}

void CppSQLite3DB::Open(const char* path) {
  if (m_pDB) Close();
  int rc = sqlite3_open(path, &m_pDB);
  if (rc != SQLITE_OK) {
    CppSQLite3Exception error(rc, m_pDB ? sqlite3_errmsg(m_pDB) : nullptr, false);
    // sqlite3_open hands back a handle even when it fails; it must still be closed.
    sqlite3_close(m_pDB);
    m_pDB = nullptr;
    throw error;
  }
  SetBusyTimeout(m_nBusyTimeoutMs);
}

void CppSQLite3DB::Close() {
  if (!m_pDB) return;
  int rc = sqlite3_close(m_pDB);
  if (rc != SQLITE_OK) {
    // An unfinished cursor keeps the connection busy; it is released for good when the
    // cursor finishes.
    sqlite3_close_v2(m_pDB);
    m_pDB = nullptr;
    RaiseWrapperError(kUnableToClose);
  }
  m_pDB = nullptr;
}

bool CppSQLite3DB::HasTable(const char* name) {
  CheckDB();
  char* sql = sqlite3_mprintf("select count(*) from sqlite_master where type='table' and name=%Q", name ? name : "");
  int count = 0;
  try {
    count = QueryInt(sql, 0);
  } catch (...) {
    sqlite3_free(sql);
    throw;
  }
  sqlite3_free(sql);
  return count > 0;
}

int CppSQLite3DB::Exec(const char* sql) {
  CheckDB();
  char* error = nullptr;
  int rc = sqlite3_exec(m_pDB, sql, nullptr, nullptr, &error);
  if (rc != SQLITE_OK) throw CppSQLite3Exception(rc, error, true);
  return sqlite3_changes(m_pDB);
}

CppSQLite3Query CppSQLite3DB::Query(const char* sql) {
  CheckDB();
  sqlite3_stmt* stmt = Prepare(sql);
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_DONE) return CppSQLite3Query(m_pDB, stmt, true);
  if (rc == SQLITE_ROW) return CppSQLite3Query(m_pDB, stmt, false);
  rc = sqlite3_finalize(stmt);
  RaiseSQLiteError(m_pDB, rc);
}

int CppSQLite3DB::QueryInt(const char* sql, int nullValue) {
  CppSQLite3Query q = Query(sql);
  if (q.IsEnd() || q.ColumnCount() < 1) RaiseWrapperError(kInvalidScalarQuery);
  return q.Int(0, nullValue);
}

sqlite3_stmt* CppSQLite3DB::Prepare(const char* sql) {
  CheckDB();
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(m_pDB, sql ? sql : "", -1, &stmt, nullptr);
  if (rc != SQLITE_OK) RaiseSQLiteError(m_pDB, rc);
  // Empty text (or only a comment) prepares to no statement at all; stepping it would be misuse.
  if (!stmt) throw CppSQLite3Exception(SQLITE_MISUSE, "no SQL statement", false);
  return stmt;
}

void CppSQLite3DB::SetBusyTimeout(int milliseconds) {
  CheckDB();
  m_nBusyTimeoutMs = milliseconds;
  sqlite3_busy_timeout(m_pDB, milliseconds);
}
