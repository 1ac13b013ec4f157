#include "player/library/MusicListDB.h"

#include <imagehlp.h>

#include <atomic>
#include <optional>

#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/common/Trace.h"

namespace {

CMusicListDB* g_pMusicListDB = nullptr;
std::atomic<CMusicListDB::FailureReporter> g_failureReporter{nullptr};

constexpr int kDefaultVolume = 50;
const wchar_t kDefaultSkin[] = L"default.xml";
const wchar_t kFailureCaption[] = L"音乐数据库错误";

// The create statements keep the column layout the player has always written into the file.
const char kCreateMusicInfo[] =
    "create table music_info(music_id int,\t\tmusic_name varchar,\t\tmusic_path varchar,\t\t"
    "music_url varchar,\t\tmusic_url2 varchar,\t\tmusic_time varchar)";
const char kCreateVolumeInfo[] = "create table volume_info(music_vol int)";
const char kCreateSkinInfo[] = "create table skin_info(music_skin varchar)";
const char kCreateConfigInfo[] =
    "create table config_info(config_AutoUpdate int,\t\tconfig_MusicPath varchar,\t\t"
    "config_DownloadSpeed int,\t\tconfig_DownloadSpeed_u int,\t\tconfig_DownloadSpeed_d int,\t\t"
    "config_MaxDownload int,\t\tconfig_ClickMusicName int,\t\tconfig_ClickClose int,\t\t"
    "config_ClickDelete int,\t\tconfig_AutoPlay int,\t\tconfig_AutoRun int,\t\t"
    "config_AcceptMsg int,\t\tconfig_CommitNotify int)";

// config_info's columns in table order, with the field of the settings record each one fills.
struct ConfigColumn {
  const char* name;
  std::wstring ConfigRecord::*field;
};
const ConfigColumn kConfigColumns[] = {
    {"config_AutoUpdate", &ConfigRecord::AutoUpdate},
    {"config_MusicPath", &ConfigRecord::MusicPath},
    {"config_DownloadSpeed", &ConfigRecord::DownloadSpeed},
    {"config_DownloadSpeed_u", &ConfigRecord::DownloadSpeed_u},
    {"config_DownloadSpeed_d", &ConfigRecord::DownloadSpeed_d},
    {"config_MaxDownload", &ConfigRecord::MaxDownload},
    {"config_ClickMusicName", &ConfigRecord::ClickMusicName},
    {"config_ClickClose", &ConfigRecord::ClickClose},
    {"config_ClickDelete", &ConfigRecord::ClickDelete},
    {"config_AutoPlay", &ConfigRecord::AutoPlay},
    {"config_AutoRun", &ConfigRecord::AutoRun},
    {"config_AcceptMsg", &ConfigRecord::AcceptMsg},
    {"config_CommitNotify", &ConfigRecord::CommitNotify},
};

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
  ~CriticalSectionLock() { LeaveCriticalSection(&m_cs); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

 private:
  CRITICAL_SECTION& m_cs;
};

void ShowFailureBox(const std::wstring& text) {
  // No owner: the failure may come from a worker thread, which must not own a window of the UI.
  MessageBoxW(nullptr, text.c_str(), kFailureCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::wstring ErrorText(const CppSQLite3Exception& error) { return ThreadAnsiToWide(error.ErrorMessage()); }

void TraceFailure(const wchar_t* action, const CppSQLite3Exception& error) {
  Trace(StrFormat(L"数据库错误（%s）：%s", action, ErrorText(error).c_str()));
}

void TellUser(const std::wstring& text) {
  CMusicListDB::FailureReporter reporter = g_failureReporter.load();
  (reporter ? reporter : ShowFailureBox)(text);
}

void MakeSureFolderExists(const std::wstring& path) {
  // Creates every missing folder up to the last backslash; the player carries on without it.
  if (!path.empty()) MakeSureDirectoryPathExists(WideToThreadAnsi(path).c_str());
}

}  // namespace

std::wstring SqlQuote(const std::wstring& text) {
  std::wstring quoted;
  quoted.reserve(text.size());
  for (wchar_t c : text) {
    quoted += c;
    if (c == L'\'') quoted += L'\'';
  }
  return quoted;
}

std::wstring ColumnText(const CppSQLite3Query& query, const char* column) {
  return ThreadAnsiToWide(query.Text(column));
}

// ---------------------------------------------------------------------------------------------
// Instance

CMusicListDB& CMusicListDB::GetInstance() {
  if (!g_pMusicListDB) {
    g_pMusicListDB = new CMusicListDB();
    g_pMusicListDB->CreateTables();
  }
  return *g_pMusicListDB;
}

void CMusicListDB::ReleaseInstance() {
  delete g_pMusicListDB;
  g_pMusicListDB = nullptr;
}

CMusicListDB::CMusicListDB() : m_strPath(WideToUtf8(g_strDBPath)) { InitializeCriticalSection(&m_lock); }

CMusicListDB::~CMusicListDB() {
  try {
    Close();
  } catch (const CppSQLite3Exception& error) {
    TraceFailure(L"关闭音乐数据库", error);
  }
  DeleteCriticalSection(&m_lock);
}

// ---------------------------------------------------------------------------------------------
// Failure handling

void CMusicListDB::SetFailureReporter(FailureReporter reporter) { g_failureReporter.store(reporter); }

void CMusicListDB::ReportFailure(const wchar_t* action, const CppSQLite3Exception& error) {
  TraceFailure(action, error);
  TellUser(StrFormat(L"%s失败。\n\n%s", action, ErrorText(error).c_str()));
}

void CMusicListDB::Fail(const wchar_t* action, const CppSQLite3Exception& error) {
  if (m_bSetupFailed) {
    TraceFailure(action, error);
    return;
  }
  ReportFailure(action, error);
}

template <class Body>
bool CMusicListDB::Locked(const wchar_t* action, Body&& body) {
  std::optional<CppSQLite3Exception> failure;
  {
    CriticalSectionLock lock(m_lock);
    try {
      body();
    } catch (const CppSQLite3Exception& error) {
      failure.emplace(error);
    }
  }
  if (!failure) return true;
  Fail(action, *failure);
  return false;
}

template <class Body>
void CMusicListDB::InTransaction(Body&& body) {
  Exec("begin");
  try {
    body();
    Exec("commit");
  } catch (const CppSQLite3Exception&) {
    try {
      Exec("rollback");
    } catch (const CppSQLite3Exception&) {
      // SQLite may already have rolled back by itself; the first failure is the one to report.
    }
    throw;
  }
}

// ---------------------------------------------------------------------------------------------
// Creation and settings

std::wstring CMusicListDB::DefaultMusicPath(const std::wstring& appFolder) {
  std::wstring parent = appFolder;
  size_t slash = parent.rfind(L'\\');
  if (slash != std::wstring::npos) parent.resize(slash);
  return parent + L"\\Downloads\\";
}

void CMusicListDB::CreateTable(const char* name, const char* createStatement, const std::string& defaultRow) {
  if (HasTable(name)) return;
  // Table and default row together, so a half-made table never hides its missing row.
  InTransaction([&] {
    Exec(createStatement);
    if (!defaultRow.empty()) Exec(defaultRow.c_str());
  });
}

void CMusicListDB::CreateTables() {
  DebugLine(g_strDBPath);
  std::optional<CppSQLite3Exception> failure;
  {
    CriticalSectionLock lock(m_lock);
    try {
      Open(m_strPath.c_str());
      CreateTable("music_info", kCreateMusicInfo, std::string());
      CreateTable("volume_info", kCreateVolumeInfo, "insert into volume_info values(50)");
      CreateTable("skin_info", kCreateSkinInfo, "insert into skin_info values('default.xml')");
      if (!HasTable("config_info")) {
        std::wstring musicPath = DefaultMusicPath(GetAppFolder());
        CreateTable("config_info", kCreateConfigInfo,
                    WideToThreadAnsi(StrFormat(L"insert into config_info values(1, '%s', 0, -1, -1, 3, 0, 0, 0, 0, 0, 1, 1)",
                                               SqlQuote(musicPath).c_str())));
        CreateDirectoryW(musicPath.c_str(), nullptr);  // one level; without it downloads pick their own
      }
    } catch (const CppSQLite3Exception& error) {
      failure.emplace(error);
    }
  }
  if (failure) {
    TraceFailure(L"打开音乐数据库", *failure);
    TellUser(StrFormat(L"打开音乐数据库失败，本次运行中播放列表和设置可能无法读取或保存。\n\n%s\n\n%s",
                       g_strDBPath.c_str(), ErrorText(*failure).c_str()));
    m_bSetupFailed = true;
  }
  LoadConfig(g_Config);
}

void CMusicListDB::LoadConfig(ConfigRecord& record) {
  ConfigRecord loaded = record;
  bool ok = Locked(L"读取设置", [&] {
    CppSQLite3Query query = Query("select * from config_info");
    if (query.IsEnd()) return;  // no row: the record stays as it is
    for (const ConfigColumn& column : kConfigColumns) loaded.*column.field = ColumnText(query, column.name);
  });
  if (ok) record = loaded;

  // A path this short cannot name a folder (it would only make one in the current folder): it is
  // replaced in memory, and the stored row keeps what the user wrote until the next save.
  if (record.MusicPath.size() < 3) {
    record.MusicPath = DefaultMusicPath(GetAppFolder());
  } else {
    MakeSureFolderExists(record.MusicPath);
  }
}

bool CMusicListDB::SaveConfig() {
  const ConfigRecord& c = g_Config;
  // The bare columns get numbers: a setting that is empty or not a number is stored as the 0 it
  // reads as, instead of breaking the statement.
  std::wstring insert = StrFormat(
      L"insert into config_info values(%d, '%s', %d, '%s', '%s', %d, %d, %d, %d, %d, %d, %d, %d)",
      ConfigInt(c.AutoUpdate), SqlQuote(c.MusicPath).c_str(), ConfigInt(c.DownloadSpeed),
      SqlQuote(c.DownloadSpeed_u).c_str(), SqlQuote(c.DownloadSpeed_d).c_str(), ConfigInt(c.MaxDownload),
      ConfigInt(c.ClickMusicName), ConfigInt(c.ClickClose), ConfigInt(c.ClickDelete), ConfigInt(c.AutoPlay),
      ConfigInt(c.AutoRun), ConfigInt(c.AcceptMsg), ConfigInt(c.CommitNotify));
  std::string insert8 = WideToThreadAnsi(insert);
  return Locked(L"保存设置", [&] {
    InTransaction([&] {
      Exec("delete from config_info");
      Exec(insert8.c_str());
    });
    MakeSureFolderExists(c.MusicPath);
  });
}

// ---------------------------------------------------------------------------------------------
// Volume, skin, statements of other parts

int CMusicListDB::GetVolume() {
  int volume = kDefaultVolume;
  Locked(L"读取音量", [&] {
    CppSQLite3Query query = Query("select * from volume_info");
    if (!query.IsEnd()) volume = ConfigInt(ColumnText(query, "music_vol"));
  });
  return volume;
}

bool CMusicListDB::SetVolume(int volume) {
  std::string sql = WideToThreadAnsi(StrFormat(L"update volume_info set music_vol = %d", volume));
  return Locked(L"保存音量", [&] { Exec(sql.c_str()); });
}

std::wstring CMusicListDB::GetSkin() {
  std::wstring skin = kDefaultSkin;
  Locked(L"读取皮肤设置", [&] {
    CppSQLite3Query query = Query("select * from skin_info");
    if (!query.IsEnd() && query.Text("music_skin")) skin = ColumnText(query, "music_skin");
  });
  return skin;
}

bool CMusicListDB::SetSkin(const std::wstring& name) {
  std::string sql = WideToThreadAnsi(StrFormat(L"update skin_info set music_skin = '%s'", SqlQuote(name).c_str()));
  return Locked(L"保存皮肤设置", [&] { Exec(sql.c_str()); });
}

int CMusicListDB::ExecSQL(const std::wstring& statement) {
  std::string sql = WideToThreadAnsi(statement);
  int changed = -1;
  Locked(L"修改播放列表", [&] { changed = Exec(sql.c_str()); });
  return changed;
}

CppSQLite3Query CMusicListDB::QuerySQL(const std::string& statement8) {
  CppSQLite3Query query;
  Locked(L"读取播放列表", [&] { query = Query(statement8.c_str()); });
  return query;
}

bool CMusicListDB::ForEachRow(const std::string& statement8,
                              const std::function<void(const CppSQLite3Query&)>& onRow) {
  std::optional<CppSQLite3Exception> failure;
  {
    CppSQLite3Query query;
    if (!Locked(L"读取播放列表", [&] { query = Query(statement8.c_str()); })) return false;
    try {
      for (; !query.IsEnd(); query.Next()) onRow(query);
    } catch (const CppSQLite3Exception& error) {
      failure.emplace(error);
    }
  }
  if (!failure) return true;
  Fail(L"读取播放列表", *failure);
  return false;
}
