// Fixtures of the database tests: a private temporary folder per case, direct access to the file
// with plain SQLite (to see the bytes the player really stored), and a recorder standing in for
// the message box that reports database failures.
#pragma once
#include <doctest/doctest.h>
#include <sqlite3.h>
#include <windows.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/common/Trace.h"
#include "player/library/MusicListDB.h"
#include "TestFiles.h"

namespace dbtest {

inline bool FolderExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FileExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline std::string ReadBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buf[4096];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0) bytes.append(buf, n);
  CloseHandle(f);
  return bytes;
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  REQUIRE(f != INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(f, bytes.data(), (DWORD)bytes.size(), &n, nullptr);
  CloseHandle(f);
}

// A new empty folder under the system temporary folder, removed with everything in it.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& name = L"") {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_path = StrFormat(L"%shalvery-db-%lu-%d%s", temp, GetCurrentProcessId(), ++counter, name.c_str());
    testfiles::RemoveTree(m_path);
    REQUIRE(CreateDirectoryW(m_path.c_str(), nullptr));
  }
  ~TempFolder() { testfiles::RemoveTree(m_path); }
  const std::wstring& Path() const { return m_path; }

 private:
  std::wstring m_path;
};

// The file, seen by plain SQLite: column text comes back as the bytes that are stored.
class RawDB {
 public:
  using Rows = std::vector<std::vector<std::string>>;

  explicit RawDB(const std::wstring& path) {
    REQUIRE(sqlite3_open(WideToUtf8(path).c_str(), &m_db) == SQLITE_OK);
    sqlite3_busy_timeout(m_db, 5000);
  }
  ~RawDB() { sqlite3_close(m_db); }
  RawDB(const RawDB&) = delete;
  RawDB& operator=(const RawDB&) = delete;

  void Exec(const std::string& sql) {
    char* error = nullptr;
    int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error);
    INFO(sql, " -> ", error ? error : "");
    sqlite3_free(error);
    REQUIRE(rc == SQLITE_OK);
  }

  Rows Select(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    INFO(sql);
    REQUIRE(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK);
    Rows rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
        const unsigned char* text = sqlite3_column_text(stmt, i);
        row.push_back(text ? reinterpret_cast<const char*>(text) : "<NULL>");
      }
      rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    return rows;
  }

  std::string One(const std::string& sql) {
    Rows rows = Select(sql);
    REQUIRE(rows.size() == 1);
    REQUIRE(rows[0].size() == 1);
    return rows[0][0];
  }

  // A table's create statement and rows, for "nothing else changed" checks; "" when it is missing.
  std::string DumpTable(const std::string& table) {
    Rows sql = Select("select sql from sqlite_master where type='table' and name='" + table + "'");
    if (sql.empty()) return "";
    std::string out = sql[0][0] + "\n";
    for (const auto& row : Select("select * from " + table)) {
      for (const auto& value : row) out += "  " + value;
      out += "\n";
    }
    return out;
  }

  // Every table, in name order.
  std::string Dump() {
    std::string out;
    for (const auto& table : Select("select name from sqlite_master where type='table' order by name"))
      out += table[0] + ": " + DumpTable(table[0]);
    return out;
  }

  sqlite3* Handle() { return m_db; }

 private:
  sqlite3* m_db = nullptr;
};

// Stands in for the message box: every text the user would have seen.
class Reports {
 public:
  static void Record(const std::wstring& text) {
    std::lock_guard<std::mutex> lock(Mutex());
    Texts().push_back(text);
  }
  static std::vector<std::wstring> Take() {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<std::wstring> taken;
    taken.swap(Texts());
    return taken;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex m;
    return m;
  }
  static std::vector<std::wstring>& Texts() {
    static std::vector<std::wstring> t;
    return t;
  }
};

inline bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// What the trace file gained since the mark was taken, as UTF-16.
class TraceMark {
 public:
  TraceMark() : m_size(ReadBytes(TraceFilePath()).size()) {}
  std::wstring NewText() const {
    std::string all = ReadBytes(TraceFilePath());
    return all.size() > m_size ? Utf8ToWide(all.substr(m_size)) : std::wstring();
  }

 private:
  size_t m_size;
};

// One database file in a temporary folder, set as the player's database path. The instance is
// released on both ends, so every case starts from a first GetInstance, as the player does.
class DbFixture {
 public:
  explicit DbFixture(const std::wstring& folderName = L"") : m_folder(folderName) {
    CMusicListDB::ReleaseInstance();
    CMusicListDB::SetFailureReporter(&Reports::Record);
    Reports::Take();
    m_dbPath = m_folder.Path() + L"\\music_list.db";
    g_strDBPath = m_dbPath;
    g_Config = ConfigRecord();
  }
  ~DbFixture() { CMusicListDB::ReleaseInstance(); }

  const std::wstring& Folder() const { return m_folder.Path(); }
  const std::wstring& DbPath() const { return m_dbPath; }

 private:
  TempFolder m_folder;
  std::wstring m_dbPath;
};

// The statements of a file as the player writes it, with rows that differ from the defaults.
const char kCreateMusicInfo[] =
    "create table music_info(music_id int, music_name varchar, music_path varchar, music_url varchar, "
    "music_url2 varchar, music_time varchar);"
    "insert into music_info values('7', 'song seven', 'D:\\m\\song seven.mp3', 'http://a/7.mp3', "
    "'http://b/7.mp3', '03:07');";
const char kCreateVolumeInfo[] = "create table volume_info(music_vol int); insert into volume_info values(77);";
const char kCreateSkinInfo[] = "create table skin_info(music_skin varchar); insert into skin_info values('blue.xml');";
const char kCreateConfigInfoEmpty[] =
    "create table config_info(config_AutoUpdate int, config_MusicPath varchar, config_DownloadSpeed int, "
    "config_DownloadSpeed_u int, config_DownloadSpeed_d int, config_MaxDownload int, config_ClickMusicName int, "
    "config_ClickClose int, config_ClickDelete int, config_AutoPlay int, config_AutoRun int, "
    "config_AcceptMsg int, config_CommitNotify int);";
const char kConfigRow[] = "insert into config_info values(0, 'D:\\Songs\\', 2, -1, -1, 5, 1, 1, 2, 1, 0, 0, 1);";

inline std::string PlayerFileScript() {
  return std::string(kCreateMusicInfo) + kCreateVolumeInfo + kCreateSkinInfo + kCreateConfigInfoEmpty + kConfigRow;
}

// The program folder's parent + "\Downloads\", computed here from the module name on its own.
inline std::wstring ExpectedDefaultMusicPath() {
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path = module;
  path.resize(path.rfind(L'\\'));
  path.resize(path.rfind(L'\\'));
  return path + L"\\Downloads\\";
}

}  // namespace dbtest
