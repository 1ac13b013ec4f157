// The player's database object on real files: creation, settings, volume and skin, the text
// encoding of the stored bytes, quotes, failures and two threads at once.
#include <atomic>
#include <functional>
#include <map>
#include <thread>

#include "DbTestSupport.h"

using namespace dbtest;

namespace {

std::vector<std::wstring> Fields(const ConfigRecord& c) {
  return {c.AutoUpdate, c.MusicPath, c.DownloadSpeed, c.DownloadSpeed_u, c.DownloadSpeed_d,
          c.MaxDownload, c.ClickMusicName, c.ClickClose, c.ClickDelete, c.AutoPlay,
          c.AutoRun, c.AcceptMsg, c.CommitNotify};
}

std::string Gbk(const std::wstring& text) { return WideToThreadAnsi(text); }

}  // namespace

TEST_CASE("the tests run with the Chinese ANSI code page") { REQUIRE(GetACP() == 936); }

TEST_CASE("small helpers: quoting, settings numbers, the default music folder") {
  struct QuoteCase { const wchar_t* text; const wchar_t* quoted; };
  const QuoteCase quotes[] = {
      {L"", L""}, {L"plain", L"plain"}, {L"Bob's", L"Bob''s"}, {L"''", L"''''"}, {L"'歌'", L"''歌''"},
  };
  for (const QuoteCase& c : quotes) CHECK(SqlQuote(c.text) == c.quoted);

  struct IntCase { const wchar_t* text; int value; };
  const IntCase ints[] = {
      {L"", 0},      {L"1", 1},         {L"-1", -1},           {L"  42", 42},  {L"+7", 7},
      {L"12abc", 12}, {L"abc", 0},      {L"-", 0},             {L"99999999999", 2147483647},
      {L"-99999999999", -2147483647 - 1},
  };
  for (const IntCase& c : ints) {
    CAPTURE(WideToUtf8(c.text));
    CHECK(ConfigInt(c.text) == c.value);
  }

  struct PathCase { const wchar_t* appFolder; const wchar_t* musicPath; };
  const PathCase paths[] = {
      {L"C:\\Program Files\\Halvery", L"C:\\Program Files\\Downloads\\"},
      {L"C:\\Halvery", L"C:\\Downloads\\"},
      {L"D:\\Bob's\\胎教", L"D:\\Bob's\\Downloads\\"},
      {L"\\\\server\\share\\app", L"\\\\server\\share\\Downloads\\"},
  };
  for (const PathCase& c : paths) CHECK(CMusicListDB::DefaultMusicPath(c.appFolder) == c.musicPath);
}

TEST_CASE("a fresh folder gets the four tables, the default rows and the Downloads folder") {
  DbFixture fx;
  std::wstring downloads = ExpectedDefaultMusicPath();
  RemoveDirectoryW(downloads.c_str());  // succeeds only when empty, which is all a test run leaves there

  CMusicListDB& db = CMusicListDB::GetInstance();
  CHECK(&db == &CMusicListDB::GetInstance());
  CHECK(Reports::Take().empty());
  CHECK(FolderExists(downloads));

  std::vector<std::wstring> expected = {L"1", downloads, L"0", L"-1", L"-1", L"3", L"0",
                                        L"0", L"0",       L"0", L"0",  L"1",  L"1"};
  CHECK(Fields(g_Config) == expected);
  CHECK(db.GetVolume() == 50);
  CHECK(db.GetSkin() == L"default.xml");
  CMusicListDB::ReleaseInstance();

  RawDB raw(fx.DbPath());
  CHECK(raw.Select("select name from sqlite_master where type='table' order by rowid") ==
        RawDB::Rows{{"music_info"}, {"volume_info"}, {"skin_info"}, {"config_info"}});
  CHECK(raw.Select("select * from music_info").empty());
  CHECK(raw.Select("select music_vol, typeof(music_vol) from volume_info") == RawDB::Rows{{"50", "integer"}});
  CHECK(raw.Select("select * from skin_info") == RawDB::Rows{{"default.xml"}});
  RawDB::Rows config = raw.Select("select * from config_info");
  REQUIRE(config.size() == 1);
  CHECK(config[0] == std::vector<std::string>{"1", Gbk(downloads), "0", "-1", "-1", "3", "0", "0", "0", "0", "0",
                                               "1", "1"});
  std::vector<std::string> types(13, "integer");
  types[1] = "text";
  RawDB::Rows typeRows = raw.Select(
      "select typeof(config_AutoUpdate), typeof(config_MusicPath), typeof(config_DownloadSpeed), "
      "typeof(config_DownloadSpeed_u), typeof(config_DownloadSpeed_d), typeof(config_MaxDownload), "
      "typeof(config_ClickMusicName), typeof(config_ClickClose), typeof(config_ClickDelete), "
      "typeof(config_AutoPlay), typeof(config_AutoRun), typeof(config_AcceptMsg), typeof(config_CommitNotify) "
      "from config_info");
  CHECK(typeRows == RawDB::Rows{types});

  // A second start finds everything in place and adds nothing.
  std::string before = raw.Dump();
  CMusicListDB::GetInstance();
  CMusicListDB::ReleaseInstance();
  CHECK(raw.Dump() == before);
}

TEST_CASE("only the missing table is created; the others keep their rows") {
  const char* const tables[] = {"music_info", "volume_info", "skin_info", "config_info"};
  struct Case {
    const char* missing;
    std::string createdRows;  // the new table's rows as DumpTable shows them
  };
  const Case cases[] = {
      {"music_info", ""},
      {"volume_info", "  50\n"},
      {"skin_info", "  default.xml\n"},
      {"config_info", "  1  " + Gbk(ExpectedDefaultMusicPath()) + "  0  -1  -1  3  0  0  0  0  0  1  1\n"},
  };
  for (const Case& c : cases) {
    INFO(std::string(c.missing));
    DbFixture fx;
    std::map<std::string, std::string> before;
    {
      RawDB raw(fx.DbPath());
      raw.Exec(PlayerFileScript());
      raw.Exec(std::string("drop table ") + c.missing);
      for (const char* t : tables) before[t] = raw.DumpTable(t);
    }
    CMusicListDB::GetInstance();
    CMusicListDB::ReleaseInstance();
    CHECK(Reports::Take().empty());

    RawDB raw(fx.DbPath());
    for (const char* t : tables) {
      INFO(std::string(t));
      std::string after = raw.DumpTable(t);
      if (c.missing == std::string(t)) {
        REQUIRE_FALSE(after.empty());
        CHECK(after.substr(after.find('\n') + 1) == c.createdRows);
      } else {
        CHECK(after == before[t]);
      }
    }
  }
}

TEST_CASE("an empty settings table leaves the settings empty and writes nothing") {
  DbFixture fx;
  {
    RawDB raw(fx.DbPath());
    raw.Exec(std::string(kCreateMusicInfo) + kCreateVolumeInfo + kCreateSkinInfo + kCreateConfigInfoEmpty);
  }
  std::string before = RawDB(fx.DbPath()).Dump();
  CMusicListDB::GetInstance();
  CMusicListDB::ReleaseInstance();

  ConfigRecord expected;
  expected.MusicPath = ExpectedDefaultMusicPath();
  CHECK(Fields(g_Config) == Fields(expected));
  CHECK(ConfigInt(g_Config.AutoUpdate) == 0);
  CHECK(RawDB(fx.DbPath()).Dump() == before);
  CHECK(Reports::Take().empty());
}

TEST_CASE("a stored music path of 1 or 2 characters is replaced in memory, 3 or more kept") {
  DbFixture fx;
  std::wstring created = fx.Folder() + L"\\胎教音乐\\新歌\\";
  struct Case { std::wstring stored; std::wstring loaded; };
  const Case cases[] = {
      {L"D", ExpectedDefaultMusicPath()},
      {L"C:", ExpectedDefaultMusicPath()},
      {L"歌", ExpectedDefaultMusicPath()},
      {L"C:\\", L"C:\\"},
      {L"D:\\Songs\\", L"D:\\Songs\\"},
      {created, created},
  };
  for (const Case& c : cases) {
    CAPTURE(WideToUtf8(c.stored));
    {
      RawDB raw(fx.DbPath());
      raw.Exec("drop table if exists config_info;");
      raw.Exec(kCreateConfigInfoEmpty);
      raw.Exec("insert into config_info values(1, '" + Gbk(c.stored) + "', 0, -1, -1, 3, 0, 0, 0, 0, 0, 1, 1)");
    }
    g_Config = ConfigRecord();
    CMusicListDB::GetInstance();
    CMusicListDB::ReleaseInstance();
    CHECK(g_Config.MusicPath == c.loaded);
    CHECK(RawDB(fx.DbPath()).One("select config_MusicPath from config_info") == Gbk(c.stored));
  }
  CHECK(FolderExists(created));  // a kept path is made sure to exist
  CHECK(Reports::Take().empty());
}

TEST_CASE("Chinese text is stored as GBK bytes and reads back") {
  DbFixture fx;
  CMusicListDB& db = CMusicListDB::GetInstance();
  std::wstring musicPath = fx.Folder() + L"\\胎教音乐\\";
  g_Config.MusicPath = musicPath;
  REQUIRE(db.SaveConfig());
  REQUIRE(db.SetSkin(L"粉色.xml"));
  REQUIRE(db.ExecSQL(StrFormat(L"insert into music_info values('%d', '%s', '%s', '%s', '%s', '%s')", 12,
                               L"摇篮曲", (musicPath + L"摇篮曲.mp3").c_str(), L"http://a/12.mp3", L"http://a/12.mp3",
                               L"02:05")) == 1);
  CHECK(FolderExists(musicPath));

  {
    RawDB raw(fx.DbPath());
    CHECK(raw.One("select music_skin from skin_info") == "\xB7\xDB\xC9\xAB.xml");
    CHECK(raw.One("select music_name from music_info") == "\xD2\xA1\xC0\xBA\xC7\xFA");
    CHECK(raw.One("select config_MusicPath from config_info") ==
          Gbk(fx.Folder()) + "\\\xCC\xA5\xBD\xCC\xD2\xF4\xC0\xD6\\");
    // A file another start of the player wrote: GBK bytes come back as the Chinese text.
    raw.Exec("insert into music_info values('13', '\xB8\xE8\xC7\xFA', 'x', 'u', 'u', '01:00')");
  }

  CHECK(db.GetSkin() == L"粉色.xml");
  std::vector<std::wstring> names;
  CHECK(db.ForEachRow("select * from music_info order by music_id",
                      [&](const CppSQLite3Query& row) { names.push_back(ColumnText(row, "music_name")); }));
  CHECK(names == std::vector<std::wstring>{L"摇篮曲", L"歌曲"});
  CppSQLite3Query q = db.QuerySQL(Gbk(L"select music_id from music_info where music_name = '歌曲'"));
  REQUIRE_FALSE(q.IsEnd());
  CHECK(q.Int(0) == 13);
  q.Finish();

  g_Config = ConfigRecord();
  db.LoadConfig(g_Config);
  CHECK(g_Config.MusicPath == musicPath);
  CHECK(Reports::Take().empty());
}

TEST_CASE("characters outside GBK come back as the code page's replacement") {
  struct Case { std::wstring text; std::wstring readBack; std::string stored; };
  const Case cases[] = {
      {L"a\u0E01b.xml", L"a?b.xml", "a?b.xml"},                    // Thai letter
      {L"\U0001F600.xml", L"??.xml", "??.xml"},                    // outside the BMP: one per surrogate
      {L"\uD55C\uAE00\u7C89.xml", L"??粉.xml", "??\xB7\xDB.xml"},  // Hangul next to a GBK character
  };
  DbFixture fx;
  CMusicListDB& db = CMusicListDB::GetInstance();
  for (const Case& c : cases) {
    CAPTURE(WideToUtf8(c.text));
    REQUIRE(db.SetSkin(c.text));
    CHECK(RawDB(fx.DbPath()).One("select music_skin from skin_info") == c.stored);
    CHECK(db.GetSkin() == c.readBack);
  }
  CHECK(Reports::Take().empty());
}

TEST_CASE("several settings rows: the first wins and the next save leaves one") {
  DbFixture fx;
  {
    RawDB raw(fx.DbPath());
    raw.Exec(PlayerFileScript());  // first row: MaxDownload 5, music path D:\Songs\ .
    raw.Exec("insert into config_info values(1, 'E:\\Other\\', 0, -1, -1, 9, 0, 0, 0, 0, 0, 1, 1)");
  }
  CMusicListDB& db = CMusicListDB::GetInstance();
  CHECK(g_Config.MaxDownload == L"5");
  CHECK(g_Config.MusicPath == L"D:\\Songs\\");
  CHECK(g_Config.ClickDelete == L"2");
  REQUIRE(db.SaveConfig());
  RawDB raw(fx.DbPath());
  CHECK(raw.Select("select config_MaxDownload, config_MusicPath, config_ClickDelete from config_info") ==
        RawDB::Rows{{"5", "D:\\Songs\\", "2"}});
}

TEST_CASE("values with single quotes are stored intact") {
  DbFixture fx;
  CMusicListDB& db = CMusicListDB::GetInstance();
  std::wstring musicPath = fx.Folder() + L"\\Bob's 'music'\\";
  g_Config.MusicPath = musicPath;
  REQUIRE(db.SaveConfig());
  REQUIRE(db.SetSkin(L"it's.xml"));

  struct Song { int id; std::wstring name; };
  const Song songs[] = {{1, L"Rock'n'Roll"}, {2, L"'"}, {3, L"妈妈's 摇篮曲"}, {4, L"x'); delete from music_info; --"}};
  for (const Song& s : songs) {
    std::wstring path = musicPath + s.name + L".mp3";
    CHECK(db.ExecSQL(StrFormat(L"insert into music_info values('%d', '%s', '%s', '%s', '%s', '%s')", s.id,
                               SqlQuote(s.name).c_str(), SqlQuote(path).c_str(), L"u", L"u", L"00:10")) == 1);
  }

  RawDB raw(fx.DbPath());
  CHECK(raw.One("select config_MusicPath from config_info") == Gbk(musicPath));
  CHECK(raw.One("select music_skin from skin_info") == "it's.xml");
  RawDB::Rows rows = raw.Select("select music_id, music_name, music_path from music_info order by rowid");
  REQUIRE(rows.size() == 4);
  for (size_t i = 0; i < rows.size(); ++i) {
    CHECK(rows[i][0] == std::to_string(songs[i].id));
    CHECK(rows[i][1] == Gbk(songs[i].name));
    CHECK(rows[i][2] == Gbk(musicPath + songs[i].name + L".mp3"));
  }
  CHECK(FolderExists(musicPath));

  CHECK(db.GetSkin() == L"it's.xml");
  g_Config = ConfigRecord();
  db.LoadConfig(g_Config);
  CHECK(g_Config.MusicPath == musicPath);
  CHECK(Reports::Take().empty());
}

TEST_CASE("settings that are not numbers are saved as the 0 they read as") {
  struct Case { const wchar_t* maxDownload; const char* stored; };
  const Case cases[] = {
      {L"", "0"}, {L"7", "7"}, {L"12abc", "12"}, {L"-3", "-3"}, {L"1); drop table music_info; --", "1"},
  };
  DbFixture fx;
  CMusicListDB& db = CMusicListDB::GetInstance();
  g_Config.DownloadSpeed_u = L"";  // quoted columns keep their text
  for (const Case& c : cases) {
    CAPTURE(WideToUtf8(c.maxDownload));
    g_Config.MaxDownload = c.maxDownload;
    g_Config.AutoPlay = L"";
    CHECK(db.SaveConfig());
    RawDB raw(fx.DbPath());
    CHECK(raw.Select("select config_MaxDownload, typeof(config_MaxDownload), config_AutoPlay, "
                     "config_DownloadSpeed_u from config_info") == RawDB::Rows{{c.stored, "integer", "0", ""}});
    CHECK(raw.One("select count(*) from sqlite_master where name = 'music_info'") == "1");
  }
  CHECK(Reports::Take().empty());
}

TEST_CASE("volume and skin: round trip, and a table without its row") {
  DbFixture fx;
  CMusicListDB& db = CMusicListDB::GetInstance();
  struct Case { int volume; std::wstring skin; };
  const Case cases[] = {{0, L"a.xml"}, {100, L"skins\\blue.xml"}, {37, L""}};
  for (const Case& c : cases) {
    CHECK(db.SetVolume(c.volume));
    CHECK(db.SetSkin(c.skin));
    CHECK(db.GetVolume() == c.volume);
    CHECK(db.GetSkin() == c.skin);
  }
  RawDB(fx.DbPath()).Exec("delete from volume_info; delete from skin_info;");
  CHECK(db.GetVolume() == 50);
  CHECK(db.GetSkin() == L"default.xml");
  CHECK(db.SetVolume(80));  // an update of no row: nothing changes, and that is no failure
  CHECK(db.SetSkin(L"x.xml"));
  CHECK(db.GetVolume() == 50);
  CHECK(db.GetSkin() == L"default.xml");
  RawDB(fx.DbPath()).Exec("insert into skin_info values(null)");
  CHECK(db.GetSkin() == L"default.xml");
  CHECK(Reports::Take().empty());
}

TEST_CASE("the database file may live in a folder with Chinese or other non-ASCII characters") {
  const wchar_t* const folders[] = {L"音乐库", L"\u0E01\u00E9"};
  for (const wchar_t* name : folders) {
    CAPTURE(WideToUtf8(name));
    DbFixture fx;
    std::wstring sub = fx.Folder() + L"\\" + name;
    REQUIRE(CreateDirectoryW(sub.c_str(), nullptr));
    g_strDBPath = sub + L"\\music_list.db";
    CMusicListDB::GetInstance().SetVolume(64);
    CMusicListDB::ReleaseInstance();
    CHECK(Reports::Take().empty());
    REQUIRE(FileExists(g_strDBPath));
    CHECK(RawDB(g_strDBPath).One("select music_vol from volume_info") == "64");
    // Nothing else was created under some other spelling of the name.
    int entries = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((fx.Folder() + L"\\*").c_str(), &data);
    do {
      if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) ++entries;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    CHECK(entries == 1);
  }
}

TEST_CASE("a failed settings save keeps the stored row") {
  struct Case {
    const char* what;
    const char* breakIt;  // run on a second connection before the save
    const char* mendIt;   // run after it, so the same save then succeeds
    const wchar_t* sqliteMessage;
  };
  const Case cases[] = {
      {"the insert is refused",
       "create trigger refuse before insert on config_info begin select raise(abort, 'refused'); end",
       "drop trigger refuse", L"SQLITE_CONSTRAINT[19]: refused"},
      {"the table gained a column", "alter table config_info add column extra int",
       "alter table config_info drop column extra",
       L"SQLITE_ERROR[1]: table config_info has 14 columns but 13 values were supplied"},
      {"another program holds the write lock", "begin immediate", "commit", L"SQLITE_BUSY[5]: database is locked"},
  };
  for (const Case& c : cases) {
    INFO(std::string(c.what));
    DbFixture fx;
    RawDB(fx.DbPath()).Exec(PlayerFileScript());
    CMusicListDB& db = CMusicListDB::GetInstance();
    db.SetBusyTimeout(0);  // the lock case would otherwise wait the full minute
    RawDB raw(fx.DbPath());
    raw.Exec(c.breakIt);
    RawDB::Rows before = raw.Select("select * from config_info");
    REQUIRE(before.size() == 1);
    CHECK(before[0][1] == "D:\\Songs\\");

    g_Config.MaxDownload = L"1";
    g_Config.MusicPath = L"E:\\New\\";
    TraceMark mark;
    CHECK_FALSE(db.SaveConfig());
    CHECK(raw.Select("select * from config_info") == before);
    std::vector<std::wstring> reports = Reports::Take();
    REQUIRE(reports.size() == 1);
    CHECK(Contains(reports[0], L"保存设置失败"));
    CHECK(Contains(reports[0], c.sqliteMessage));
    CHECK(Contains(mark.NewText(), std::wstring(L"数据库错误（保存设置）：") + c.sqliteMessage));

    raw.Exec(c.mendIt);
    CHECK(db.SaveConfig());
    CHECK(raw.Select("select config_MaxDownload, config_MusicPath from config_info") ==
          RawDB::Rows{{"1", "E:\\New\\"}});
  }
}

TEST_CASE("a failing statement is reported, answered with the default, and the program goes on") {
  struct Case {
    const char* what;
    std::function<bool(CMusicListDB&)> run;  // true when the operation answered with its default
    const wchar_t* report;
  };
  const Case cases[] = {
      {"ExecSQL on a missing table",
       [](CMusicListDB& db) { return db.ExecSQL(L"insert into nosuch values(1)") == -1; },
       L"修改播放列表失败。\n\nSQLITE_ERROR[1]: no such table: nosuch"},
      {"ExecSQL with a syntax error",
       [](CMusicListDB& db) { return db.ExecSQL(L"delete music_info") == -1; },
       L"修改播放列表失败。\n\nSQLITE_ERROR[1]: near \"music_info\": syntax error"},
      {"QuerySQL on a missing column",
       [](CMusicListDB& db) { return db.QuerySQL("select nope from music_info").IsEnd(); },
       L"读取播放列表失败。\n\nSQLITE_ERROR[1]: no such column: nope"},
      {"a row walk asking for a wrong column",
       [](CMusicListDB& db) {
         return !db.ForEachRow("select * from music_info", [](const CppSQLite3Query& row) { row.Text("name"); });
       },
       L"读取播放列表失败。\n\nCPPSQLITE_ERROR[1000]: Invalid field name requested"},
      {"the volume table is gone",
       [](CMusicListDB& db) {
         RawDB(g_strDBPath).Exec("drop table volume_info");
         return db.GetVolume() == 50;
       },
       L"读取音量失败。\n\nSQLITE_ERROR[1]: no such table: volume_info"},
      {"the skin table is gone",
       [](CMusicListDB& db) {
         RawDB(g_strDBPath).Exec("drop table skin_info");
         return db.GetSkin() == L"default.xml" && !db.SetSkin(L"x.xml");
       },
       L"读取皮肤设置失败。\n\nSQLITE_ERROR[1]: no such table: skin_info"},
  };
  for (const Case& c : cases) {
    INFO(std::string(c.what));
    DbFixture fx;
    RawDB(fx.DbPath()).Exec(PlayerFileScript());
    CMusicListDB& db = CMusicListDB::GetInstance();
    std::string songs = RawDB(fx.DbPath()).Dump();
    TraceMark mark;
    CHECK(c.run(db));
    std::vector<std::wstring> reports = Reports::Take();
    REQUIRE(reports.size() >= 1);
    CHECK(reports[0] == c.report);
    std::wstring message = std::wstring(c.report).substr(std::wstring(c.report).find(L"\n\n") + 2);
    CHECK(Contains(mark.NewText(), message));
    // The connection still works and the playlist is as it was.
    CHECK(db.ExecSQL(L"update music_info set music_time = '03:08' where music_id = 7") == 1);
    CHECK(RawDB(fx.DbPath()).One("select music_name from music_info") == "song seven");
  }
}

TEST_CASE("a database that cannot be set up is reported once, and the player runs on with defaults") {
  struct Case {
    const char* what;
    std::function<void(DbFixture&)> prepare;
    const wchar_t* message;
  };
  const std::string garbage = "This is not a database, but the user's own file.\r\n" + std::string(3000, 'x');
  const Case cases[] = {
      {"the file is not a database", [&](DbFixture& fx) { WriteBytes(fx.DbPath(), garbage); },
       L"UNKNOWN_ERROR[26]: file is not a database"},
      {"the folder does not exist",
       [](DbFixture& fx) { g_strDBPath = fx.Folder() + L"\\missing\\music_list.db"; },
       L"SQLITE_CANTOPEN[14]: unable to open database file"},
  };
  for (const Case& c : cases) {
    INFO(std::string(c.what));
    DbFixture fx;
    c.prepare(fx);
    TraceMark mark;
    CMusicListDB& db = CMusicListDB::GetInstance();
    std::vector<std::wstring> reports = Reports::Take();
    REQUIRE(reports.size() == 1);
    CHECK(Contains(reports[0], L"打开音乐数据库失败"));
    CHECK(Contains(reports[0], g_strDBPath));
    CHECK(Contains(reports[0], c.message));
    CHECK(Contains(mark.NewText(), std::wstring(L"数据库错误（打开音乐数据库）：") + c.message));
    CHECK(g_Config.MusicPath == ExpectedDefaultMusicPath());

    // Every operation answers with its default; the user is not told again, the trace is.
    CHECK(db.GetVolume() == 50);
    CHECK(db.GetSkin() == L"default.xml");
    CHECK(db.ExecSQL(L"delete from music_info") == -1);
    CHECK(db.QuerySQL("select * from music_info").IsEnd());
    CHECK_FALSE(db.ForEachRow("select * from music_info", [](const CppSQLite3Query&) {}));
    CHECK_FALSE(db.SaveConfig());
    CHECK_FALSE(db.SetVolume(10));
    CHECK(Reports::Take().empty());
    CHECK(Contains(mark.NewText(), L"数据库错误（保存设置）："));
    CMusicListDB::ReleaseInstance();
  }
  // The user's file is exactly as it was.
  DbFixture fx;
  WriteBytes(fx.DbPath(), garbage);
  CMusicListDB::GetInstance().SaveConfig();
  CMusicListDB::ReleaseInstance();
  CHECK(ReadBytes(fx.DbPath()) == garbage);
  Reports::Take();
}

// While one thread's failure message is open, the other thread must still reach the database:
// the reporter here does database work on a second thread and waits for it.
TEST_CASE("the user is told about a failure after the database lock is released") {
  DbFixture fx;
  CMusicListDB& db = CMusicListDB::GetInstance();
  static std::atomic<int> volumeSeenMeanwhile{-1};
  CMusicListDB::SetFailureReporter([](const std::wstring& text) {
    std::thread other([] { volumeSeenMeanwhile = CMusicListDB::GetInstance().GetVolume(); });
    other.join();
    Reports::Record(text);
  });
  const std::pair<const char*, std::function<void()>> failing[] = {
      {"ExecSQL", [&] { db.ExecSQL(L"insert into nosuch values(1)"); }},
      {"QuerySQL", [&] { db.QuerySQL("select * from nosuch"); }},
      {"row walk", [&] { db.ForEachRow("select * from music_info union all select 1,2,3,4,5,6",
                                       [](const CppSQLite3Query& row) { row.Text("nope"); }); }},
  };
  for (const auto& f : failing) {
    INFO(std::string(f.first));
    volumeSeenMeanwhile = -1;
    f.second();
    CHECK(volumeSeenMeanwhile == 50);
    CHECK(Reports::Take().size() == 1);
  }
  CMusicListDB::SetFailureReporter(&Reports::Record);
}

TEST_CASE("two threads insert and query at the same time") {
  DbFixture fx;
  CMusicListDB& db = CMusicListDB::GetInstance();
  const int kSongsPerThread = 60;
  std::atomic<int> inserted{0}, found{0}, walked{0};
  auto worker = [&](int firstId) {
    for (int id = firstId; id < firstId + kSongsPerThread; ++id) {
      if (db.ExecSQL(StrFormat(L"insert into music_info values('%d', '%s', '%s', 'u', 'u', '00:01')", id,
                               L"同时", L"p")) == 1)
        ++inserted;
      CppSQLite3Query q = db.QuerySQL(StrFormatA("select * from music_info where music_id = %d", id));
      if (!q.IsEnd() && ColumnText(q, "music_name") == L"同时") ++found;
      db.ForEachRow("select * from music_info", [&](const CppSQLite3Query&) { ++walked; });
    }
  };
  std::thread a(worker, 1000), b(worker, 2000);
  a.join();
  b.join();
  CHECK(inserted == 2 * kSongsPerThread);
  CHECK(found == 2 * kSongsPerThread);
  CHECK(walked >= 2 * kSongsPerThread);
  CHECK(Reports::Take().empty());
  CMusicListDB::ReleaseInstance();
  CHECK(RawDB(fx.DbPath()).One("select count(*) from music_info") == std::to_string(2 * kSongsPerThread));
}
