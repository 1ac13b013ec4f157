// The player's one database access object: the file music_list.db with the playlist (music_info),
// the volume, the skin name and the settings (config_info, loaded into g_Config).
//
// Statements are composed as UTF-16 and reach SQLite in the calling thread's ANSI code page, so
// text columns hold GBK on a Chinese Windows; column text is converted back the same way.
//
// A database failure never ends the program: every public operation catches the wrapper's
// exception, writes a trace line, tells the user (see SetFailureReporter) and returns the
// default documented below. The user is told after the lock is released, so a message box on
// one thread never blocks the other thread's database work.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "player/library/Config.h"
#include "player/library/CppSQLite3.h"

class CMusicListDB : public CppSQLite3DB {
 public:
  // The single instance, created on the first call: opens g_strDBPath, creates missing tables
  // with their default rows and loads g_Config. If that fails the user is told once, the
  // instance still exists and its operations return their defaults.
  static CMusicListDB& GetInstance();
  // Closes the database and destroys the instance; no-op when there is none.
  static void ReleaseInstance();

  // Runs a UTF-16 statement; returns the changed rows, or -1 on failure.
  int ExecSQL(const std::wstring& statement);
  // Runs an 8-bit statement (already in the thread ANSI code page) and steps to its first row.
  // The caller walks the rows outside the lock. On failure the cursor is empty (IsEnd is true).
  // Walking can still fail (Next, a wrong column name): catch CppSQLite3Exception around the
  // walk and pass it to ReportFailure, or use ForEachRow, which does that.
  CppSQLite3Query QuerySQL(const std::string& statement8);
  // QuerySQL, then onRow for every row; false when the query or the walk failed (reported).
  bool ForEachRow(const std::string& statement8, const std::function<void(const CppSQLite3Query&)>& onRow);

  // Fills record from the first row of config_info; on failure record is left as it was.
  // A music path shorter than 3 characters is replaced in memory by the default folder.
  void LoadConfig(ConfigRecord& record);
  // Replaces the settings row with g_Config in one transaction: on failure the stored row
  // stays as it was and false is returned.
  bool SaveConfig();
  int GetVolume();                        // 50 without a row or on failure
  bool SetVolume(int volume);
  std::wstring GetSkin();                 // "default.xml" without a value or on failure
  bool SetSkin(const std::wstring& name);

  // How the user is told about a database failure: the full text (what failed, then SQLite's
  // message). Null restores the default, a message box. Tests install their own.
  using FailureReporter = void (*)(const std::wstring& text);
  static void SetFailureReporter(FailureReporter reporter);
  // Traces and reports a failure; action names what failed, in the user's words ("读取播放列表").
  static void ReportFailure(const wchar_t* action, const CppSQLite3Exception& error);

  // The program folder's parent followed by "\Downloads\".
  static std::wstring DefaultMusicPath(const std::wstring& appFolder);

 private:
  CMusicListDB();
  ~CMusicListDB() override;

  void CreateTables();
  void CreateTable(const char* name, const char* createStatement, const std::string& defaultRow);
  // Runs body under the lock; a wrapper failure is reported after the lock is released.
  template <class Body>
  bool Locked(const wchar_t* action, Body&& body);
  void Fail(const wchar_t* action, const CppSQLite3Exception& error);
  // begin, body, commit; rollback when anything in between fails.
  template <class Body>
  void InTransaction(Body&& body);

  std::string m_strPath;  // g_strDBPath in UTF-8, the form sqlite3_open takes
  CRITICAL_SECTION m_lock;
  // Set when the database could not be set up at creation: the user has been told, and later
  // failures of this run go to the trace only.
  bool m_bSetupFailed = false;
};

// The text to put between single quotes in a statement: every ' doubled.
std::wstring SqlQuote(const std::wstring& text);
// A column of the cursor's row converted from the thread ANSI code page; SQL NULL reads as empty.
std::wstring ColumnText(const CppSQLite3Query& query, const char* column);
