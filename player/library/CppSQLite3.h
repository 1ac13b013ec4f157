// A small SQLite wrapper: a connection, a forward-only cursor and the exception every failure
// raises. All text here is 8-bit, exactly as it goes to and comes from SQLite; the callers decide
// the encoding (the music database uses the thread ANSI code page for its text, UTF-8 for the
// file name, which is what sqlite3_open expects).
#pragma once

struct sqlite3;
struct sqlite3_stmt;

// Code of the errors the wrapper itself detects.
constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception {
 public:
  // The message is built as "<code name>[<code>]: <text>"; a null text counts as empty.
  // With freeMessage the text was allocated by SQLite (sqlite3_exec) and is freed here.
  CppSQLite3Exception(int code, const char* message, bool freeMessage);
  CppSQLite3Exception(const CppSQLite3Exception& other);
  CppSQLite3Exception& operator=(const CppSQLite3Exception& other);
  virtual ~CppSQLite3Exception();

  int ErrorCode() const { return m_nErrCode; }
  const char* ErrorMessage() const { return m_pszErrMessage ? m_pszErrMessage : ""; }

  // "SQLITE_OK" ... "SQLITE_RANGE" for 0..25, "SQLITE_ROW", "SQLITE_DONE", "CPPSQLITE_ERROR",
  // otherwise "UNKNOWN_ERROR".
  static const char* ErrorCodeAsString(int code);

 private:
  int m_nErrCode;
  char* m_pszErrMessage;  // from sqlite3_mprintf
};

// A cursor over the rows of one statement. Moving a cursor hands the statement over; the source
// is then empty and every operation on it except IsEnd raises "Null Virtual Machine pointer".
class CppSQLite3Query {
 public:
  CppSQLite3Query();  // empty: no statement, no rows
  CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool atEnd, bool ownStatement = true);
  CppSQLite3Query(CppSQLite3Query&& other) noexcept;
  CppSQLite3Query& operator=(CppSQLite3Query&& other);
  CppSQLite3Query(const CppSQLite3Query&) = delete;
  CppSQLite3Query& operator=(const CppSQLite3Query&) = delete;
  virtual ~CppSQLite3Query();

  // True after the last row, and for a cursor without a statement (a failed or handed-over query
  // has no rows), so a row loop on it simply ends.
  bool IsEnd() const;
  void Next();
  int ColumnCount() const;
  int ColumnIndex(const char* name) const;
  int ColumnType(int index) const;
  // The column's text, or null for SQL NULL. Valid until the next Next or Finish.
  const char* Text(const char* name) const;
  int Int(int index, int defaultValue = 0) const;
  void Finish();

 private:
  void CheckStatement() const;

  sqlite3* m_pDB;
  sqlite3_stmt* m_pVM;  // null once finished or handed over
  bool m_bEof;
  int m_nCols;
  bool m_bOwnVM;
};

class CppSQLite3DB {
 public:
  CppSQLite3DB();
  CppSQLite3DB(const CppSQLite3DB&) = delete;
  CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;
  virtual ~CppSQLite3DB();

  // path is UTF-8, as SQLite takes file names.
  void Open(const char* path);
  void Close();
  bool IsOpen() const { return m_pDB != nullptr; }

  bool HasTable(const char* name);
  // Runs one or more statements; returns the rows changed by the last one.
  int Exec(const char* sql);
  // Prepares and steps once: the cursor stands on the first row or at the end.
  CppSQLite3Query Query(const char* sql);
  // The first column of the first row; raises "Invalid scalar query" when there is none.
  int QueryInt(const char* sql, int nullValue = 0);
  sqlite3_stmt* Prepare(const char* sql);
  void SetBusyTimeout(int milliseconds);

 protected:
  void CheckDB() const;

  sqlite3* m_pDB;
  int m_nBusyTimeoutMs;
};
