#include <doctest/doctest.h>
#include <windows.h>
#include <gdiplus.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/common/Messages.h"
#include "TestFiles.h"
#include "player/library/MusicListDB.h"
#include "player/ui/SkinImageName.h"
#include "player/ui/SkinMgr.h"

namespace {

// GDI+ for the whole test program, as the player starts it before any window.
struct GdiplusSession {
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
  }
  ~GdiplusSession() { Gdiplus::GdiplusShutdown(token); }
  ULONG_PTR token = 0;
} g_gdiplus;

std::wstring SkinFolder() { return GetAppFolder() + L"\\skin"; }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  REQUIRE(f != INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
}

bool FileExists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// A PNG of the given size in one colour, written with GDI+.
void WritePng(const std::wstring& path, int width, int height, Gdiplus::ARGB colour) {
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  REQUIRE(size > 0);
  std::vector<BYTE> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  Gdiplus::GetImageEncoders(count, size, encoders);
  const CLSID* png = nullptr;
  for (UINT i = 0; i < count; ++i)
    if (std::wstring(encoders[i].MimeType) == L"image/png") png = &encoders[i].Clsid;
  REQUIRE(png);
  Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics g(&bitmap);
    g.Clear(Gdiplus::Color(colour));
  }
  REQUIRE(bitmap.Save(path.c_str(), png, nullptr) == Gdiplus::Ok);
}

// A database file of its own for each case, set as the player's database; the skin manager and
// the database object are released on both ends so every case starts as the program does.
class SkinFixture {
 public:
  // skinRow: null = a skin_info table without rows; "" = no file at all (the database makes its
  // default rows); otherwise the stored skin file name.
  explicit SkinFixture(const char* skinRow = "") {
    SkinMgr::ReleaseInstance();
    CMusicListDB::ReleaseInstance();
    CMusicListDB::SetFailureReporter(&IgnoreFailure);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    m_folder = StrFormat(L"%shalvery-skin-%lu-%d", temp, GetCurrentProcessId(), ++counter);
    testfiles::RemoveTree(m_folder);
    REQUIRE(CreateDirectoryW(m_folder.c_str(), nullptr));
    g_strDBPath = m_folder + L"\\music_list.db";
    if (!skinRow || *skinRow) {
      sqlite3* db = nullptr;
      REQUIRE(sqlite3_open(WideToUtf8(g_strDBPath).c_str(), &db) == SQLITE_OK);
      std::string sql = "create table skin_info(music_skin varchar);";
      if (skinRow) sql += std::string("insert into skin_info values('") + skinRow + "');";
      REQUIRE(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
      sqlite3_close(db);
    }
    m_window = CreateWindowExW(0, L"STATIC", L"main", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    REQUIRE(m_window);
    g_hMainWnd = m_window;
  }
  ~SkinFixture() {
    SkinMgr::ReleaseInstance();
    CMusicListDB::ReleaseInstance();
    g_hMainWnd = nullptr;
    DestroyWindow(m_window);
    for (const std::wstring& path : m_written) {
      if (path.back() == L'\\')
        testfiles::RemoveTree(path.substr(0, path.size() - 1));
      else
        DeleteFileW(path.c_str());
    }
    testfiles::RemoveTree(m_folder);
  }

  // A description file in the skin folder, removed at the end of the case.
  void Description(const std::wstring& fileName, const std::string& bytes) {
    WriteBytes(SkinFolder() + L"\\" + fileName, bytes);
    m_written.push_back(SkinFolder() + L"\\" + fileName);
  }
  // A sub-folder of the skin folder, removed with its pictures at the end of the case.
  std::wstring Folder(const std::wstring& name) {
    std::wstring path = SkinFolder() + L"\\" + name;
    testfiles::RemoveTree(path);
    REQUIRE(CreateDirectoryW(path.c_str(), nullptr));
    m_written.push_back(path + L"\\");
    return path;
  }

  // WM_SKIN_CHANGED messages waiting for the main window; takes them.
  int TakeSkinChanged() {
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, m_window, WM_SKIN_CHANGED, WM_SKIN_CHANGED, PM_REMOVE)) {
      CHECK(msg.wParam == 0);
      CHECK(msg.lParam == 0);
      ++n;
    }
    return n;
  }

 private:
  static void IgnoreFailure(const std::wstring&) {}
  std::wstring m_folder;
  HWND m_window = nullptr;
  std::vector<std::wstring> m_written;
};

std::string SkinDocument(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Skin>\r\n" + body + "\r\n</Skin>\r\n";
}

// Every image name the program asks a skin for.
const wchar_t* const kAllImageNames[] = {
    L"backtop", L"backbottomu", L"backbottomd", L"logo", L"title", L"menu", L"volume", L"resizing",
    L"spilter", L"playprev", L"play", L"playpasue", L"playnext", L"setting", L"min", L"max",
    L"close", L"skin", L"sxbf", L"dqxh", L"lbxh", L"sjbf", L"playpostion", L"playrange",
    L"download", L"playing", L"delete", L"serach", L"deleteall", L"suggest", L"setback",
    L"setleftbackd", L"setleftbacku", L"setroutine", L"setoperation", L"setdownload",
    L"setappupdate", L"setbtnbackl", L"setbtnbackr", L"setcheckupdate", L"setexplorer",
};

}  // namespace

TEST_CASE("the tests run with the Chinese ANSI code page") { REQUIRE(GetACP() == 936); }

TEST_CASE("image name: the file name after the last backslash, cut at its last dot") {
  struct Case { const wchar_t* path; const wchar_t* name; };
  const Case cases[] = {
      {L"default\\backtop.png", L"backtop"},
      {L"x.y.png", L"x.y"},                      // only the last dot counts
      {L"default\\x.y.png", L"x.y"},
      {L"backtop.png", L"backtop"},              // no backslash: taken whole
      {L"default\\readme", L""},                 // no dot: the empty name
      {L"default.d\\readme", L""},               // a dot in a folder name does not count
      {L"a\\b\\c\\close.png", L"close"},
      {L"pics\\play.PNG", L"play"},
      {L"default\\", L""},
      {L"default\\.png", L""},
      {L"", L""},
      {L"默认\\背景.png", L"背景"},
  };
  for (const Case& c : cases) {
    std::string path = WideToUtf8(c.path);
    CAPTURE(path);
    CHECK(SkinImageName(c.path) == c.name);
  }
}

TEST_CASE("a description's entries: which path each name resolves to") {
  struct Case {
    const char* what;
    std::string document;
    const wchar_t* name;
    const wchar_t* expected;  // relative to the skin folder; "" = the name is not in the table
  };
  const std::string dupSections = SkinDocument(
      "<AdDlg><img>ad\\close.png</img></AdDlg>"
      "<Setting><img>set\\close.png</img></Setting>"
      "<MainDlg><img>main\\close.png</img></MainDlg>");
  const std::string gbk = "<?xml version=\"1.0\" encoding=\"gb2312\"?><Skin><MainDlg><img>"
                          "\xC6\xA4\xB7\xF4\\\xB1\xB3\xBE\xB0.png</img></MainDlg></Skin>";  // 皮肤\背景.png
  const Case cases[] = {
      {"same name in three sections: AdDlg is read last", dupSections, L"close", L"ad\\close.png"},
      {"same name twice in one section: the later wins",
       SkinDocument("<MainDlg><img>a\\play.png</img><img>b\\play.png</img></MainDlg>"), L"play", L"b\\play.png"},
      {"an upper-case extension is cut like any other",
       SkinDocument("<MainDlg><img>pics\\play.PNG</img></MainDlg>"), L"play", L"pics\\play.PNG"},
      {"names are case-sensitive", SkinDocument("<MainDlg><img>pics\\play.PNG</img></MainDlg>"), L"Play", L""},
      {"repeated sections are all read",
       SkinDocument("<MainDlg><img>a\\one.png</img></MainDlg><MainDlg><img>a\\two.png</img></MainDlg>"), L"two",
       L"a\\two.png"},
      {"an image may be listed in any section", SkinDocument("<AdDlg><img>a\\backtop.png</img></AdDlg>"),
       L"backtop", L"a\\backtop.png"},
      {"img elements outside the three sections are not read",
       SkinDocument("<img>a\\stray.png</img><Other><img>a\\other.png</img></Other>"), L"stray", L""},
      {"element names are compared exactly", "<skin><MainDlg><img>a\\lower.png</img></MainDlg></skin>", L"lower",
       L""},
      {"entries before a structural error still count",
       "<Skin><MainDlg><img>a\\early.png</img><img>a\\late.png</img></Skin>", L"late", L"a\\late.png"},
      {"entries after a structural error are lost",
       "<Skin><MainDlg><img>a\\early.png</img><img>a\\bad.png</im></MainDlg>"
       "<Setting><img>a\\after.png</img></Setting></Skin>",
       L"after", L""},
      {"...while those before it stay",
       "<Skin><MainDlg><img>a\\early.png</img><img>a\\bad.png</im></MainDlg>"
       "<Setting><img>a\\after.png</img></Setting></Skin>",
       L"early", L"a\\early.png"},
      {"UTF-8 description with Chinese file names",
       SkinDocument("<MainDlg><img>\xE7\x9A\xAE\xE8\x82\xA4\\\xE8\x83\x8C\xE6\x99\xAF.png</img></MainDlg>"), L"背景",
       L"皮肤\\背景.png"},
      {"GB2312 description with Chinese file names", gbk, L"背景", L"皮肤\\背景.png"},
      {"a file name without a dot is stored under the empty name",
       SkinDocument("<MainDlg><img>a\\readme</img></MainDlg>"), L"", L"a\\readme"},
  };
  for (const Case& c : cases) {
    std::string what = c.what;
    CAPTURE(what);
    SkinFixture fixture;
    fixture.Description(L"t_case.xml", c.document);
    SkinMgr& skins = SkinMgr::GetInstance();
    skins.LoadSkin(L"t_case.xml");
    std::wstring expected = *c.expected ? SkinFolder() + L"\\" + c.expected : std::wstring();
    CHECK(WideToUtf8(skins.GetImagePath(c.name)) == WideToUtf8(expected));
  }
}

TEST_CASE("description file names outside the ANSI code page are found") {
  // The path stays UTF-16 up to the file system: a Thai letter has no GBK form.
  const wchar_t* names[] = {L"t_\u0E01.xml", L"t_\u76AE\u80A4.xml"};  // Thai letter; 皮肤
  for (const wchar_t* fileName : names) {
    std::string name = WideToUtf8(fileName);
    CAPTURE(name);
    SkinFixture fixture;
    fixture.Description(fileName, SkinDocument("<MainDlg><img>a\\backtop.png</img></MainDlg>"));
    SkinMgr& skins = SkinMgr::GetInstance();
    CHECK(skins.LoadSkin(fileName));
    CHECK(skins.GetImagePath(L"backtop") == SkinFolder() + L"\\a\\backtop.png");
  }
}

TEST_CASE("the first skin comes from the database; no skin_info row means default.xml") {
  struct Case { const char* what; const char* row; const wchar_t* folder; };
  const Case cases[] = {
      {"new database file", "", L"default"},
      {"skin_info without a row", nullptr, L"default"},
      {"stored second skin", "mint.xml", L"mint"},
  };
  for (const Case& c : cases) {
    std::string what = c.what;
    CAPTURE(what);
    SkinFixture fixture(c.row);
    SkinMgr& skins = SkinMgr::GetInstance();
    CHECK(skins.GetImagePath(L"backtop") == SkinFolder() + L"\\" + c.folder + L"\\backtop.png");
    CHECK(&SkinMgr::GetInstance() == &skins);  // later calls: the same instance, nothing reloaded
    CHECK(fixture.TakeSkinChanged() == 0);     // the first load tells nobody
  }
}

TEST_CASE("a new skin replaces the registered images in place and tells the main window once") {
  SkinFixture fixture("t_one.xml");
  std::wstring one = fixture.Folder(L"t_one"), two = fixture.Folder(L"t_two");
  WritePng(one + L"\\backtop.png", 40, 10, 0xFFD8797B);
  WritePng(one + L"\\menu.png", 8, 8, 0xFFFFFFFF);
  WritePng(one + L"\\title.png", 30, 12, 0xFFFFFFFF);
  WritePng(two + L"\\backtop.png", 60, 20, 0xFF4F9F98);
  WritePng(two + L"\\title.png", 50, 14, 0xFFFFFFFF);  // no menu in the second skin
  fixture.Description(L"t_one.xml", SkinDocument("<MainDlg><img>t_one\\backtop.png</img><img>t_one\\menu.png</img>"
                                                 "</MainDlg><Setting><img>t_one\\title.png</img></Setting>"));
  fixture.Description(L"t_two.xml",
                      SkinDocument("<MainDlg><img>t_two\\backtop.png</img><img>t_two\\title.png</img></MainDlg>"));

  SkinMgr& skins = SkinMgr::GetInstance();
  CHECK(fixture.TakeSkinChanged() == 0);
  Gdiplus::Image* back = new Gdiplus::Image(skins.GetImagePath(L"backtop").c_str(), TRUE);
  Gdiplus::Image* menu = new Gdiplus::Image(skins.GetImagePath(L"menu").c_str(), TRUE);
  Gdiplus::Bitmap* title = new Gdiplus::Bitmap(skins.GetImagePath(L"title").c_str(), TRUE);
  Gdiplus::Image* unregistered = nullptr;
  REQUIRE(back->GetWidth() == 40);
  skins.RegisterImage(&back, L"backtop");
  skins.RegisterImage(&menu, L"menu");
  skins.RegisterImage(&title, L"title");
  skins.RegisterImage(&unregistered, L"");              // ignored: no name
  skins.RegisterImage(static_cast<Gdiplus::Image**>(nullptr), L"logo");  // ignored: no variable
  Gdiplus::Image* const oldMenu = menu;

  SUBCASE("load a second skin") {
    CHECK(skins.LoadSkin(L"t_two.xml"));
    CHECK(back->GetWidth() == 60);
    CHECK(back->GetHeight() == 20);
    CHECK(title->GetWidth() == 50);
    CHECK(menu == oldMenu);  // the new skin has no menu: the old picture stays
    CHECK(menu->GetWidth() == 8);
    CHECK(unregistered == nullptr);
    CHECK(fixture.TakeSkinChanged() == 1);

    SUBCASE("reloading the same skin applies it again") {
      delete back;
      back = nullptr;
      CHECK(skins.LoadSkin(L"t_two.xml"));
      REQUIRE(back != nullptr);
      CHECK(back->GetWidth() == 60);
      CHECK(fixture.TakeSkinChanged() == 1);
    }
    SUBCASE("an unregistered variable is left alone") {
      Gdiplus::Image* before = back;
      skins.UnregisterImage(&back);
      CHECK(skins.LoadSkin(L"t_one.xml"));
      CHECK(back == before);
      CHECK(back->GetWidth() == 60);
      CHECK(title->GetWidth() == 30);
      CHECK(fixture.TakeSkinChanged() == 1);
    }
  }
  SUBCASE("a later registration under the same name replaces the earlier one") {
    Gdiplus::Image* second = nullptr;
    Gdiplus::Image* before = back;
    skins.RegisterImage(&second, L"backtop");
    CHECK(skins.LoadSkin(L"t_two.xml"));
    CHECK(back == before);
    REQUIRE(second != nullptr);
    CHECK(second->GetWidth() == 60);
    skins.UnregisterImage(&second);
    delete second;
    CHECK(fixture.TakeSkinChanged() == 1);
  }
  SUBCASE("a missing description empties the table and changes nothing else") {
    Gdiplus::Image* before = back;
    CHECK_FALSE(skins.LoadSkin(L"t_missing.xml"));
    CHECK(skins.ImageCount() == 0);
    CHECK(skins.GetImagePath(L"backtop").empty());
    CHECK(back == before);
    CHECK(back->GetWidth() == 40);
    CHECK(fixture.TakeSkinChanged() == 0);
  }
  SUBCASE("a listed file that does not exist still replaces the image, which then draws nothing") {
    fixture.Description(L"t_gone.xml", SkinDocument("<MainDlg><img>t_gone\\backtop.png</img></MainDlg>"));
    CHECK(skins.LoadSkin(L"t_gone.xml"));
    CHECK(skins.GetImagePath(L"backtop") == SkinFolder() + L"\\t_gone\\backtop.png");
    CHECK(back->GetLastStatus() != Gdiplus::Ok);
    CHECK(back->GetWidth() == 0);
    CHECK(fixture.TakeSkinChanged() == 1);
  }
  SUBCASE("without a main window nothing is posted") {
    g_hMainWnd = nullptr;
    CHECK(skins.LoadSkin(L"t_two.xml"));
    CHECK(back->GetWidth() == 60);
    MSG msg;
    CHECK_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_SKIN_CHANGED, WM_SKIN_CHANGED, PM_REMOVE));
  }
  SkinMgr::ReleaseInstance();
  delete back;
  delete menu;
  delete title;
}

TEST_CASE("the shipped skins have every image the program asks for") {
  struct Case { const wchar_t* description; const wchar_t* folder; };
  const Case cases[] = {{L"default.xml", L"default"}, {L"mint.xml", L"mint"}};
  std::vector<std::pair<UINT, UINT>> firstSizes;
  for (const Case& c : cases) {
    std::string description = WideToUtf8(c.description);
    CAPTURE(description);
    SkinFixture fixture;
    SkinMgr& skins = SkinMgr::GetInstance();
    REQUIRE(skins.LoadSkin(c.description));
    CHECK(skins.ImageCount() == sizeof kAllImageNames / sizeof kAllImageNames[0]);
    std::vector<std::pair<UINT, UINT>> sizes;
    for (const wchar_t* name : kAllImageNames) {
      std::string imageName = WideToUtf8(name);
      CAPTURE(imageName);
      std::wstring path = skins.GetImagePath(name);
      CHECK(path == SkinFolder() + L"\\" + c.folder + L"\\" + name + L".png");
      REQUIRE(FileExists(path));
      Gdiplus::Image image(path.c_str(), TRUE);
      REQUIRE(image.GetLastStatus() == Gdiplus::Ok);
      CHECK(image.GetWidth() > 0);
      CHECK((image.GetPixelFormat() & PixelFormatAlpha) != 0);
      sizes.emplace_back(image.GetWidth(), image.GetHeight());
    }
    // Windows take their sizes from the images: a skin change must not move the layout.
    if (firstSizes.empty())
      firstSizes = sizes;
    else
      CHECK(sizes == firstSizes);

    // The skin chooser shows the preview named after the description, 125 x 80 per cell.
    std::wstring preview = SkinFolder() + L"\\" + c.folder + L".png";
    Gdiplus::Image shown(preview.c_str(), FALSE);
    REQUIRE(shown.GetLastStatus() == Gdiplus::Ok);
    CHECK(shown.GetWidth() == 125);
    CHECK(shown.GetHeight() == 80);

    // The close face sits at (480, 10) in the chooser's 505-pixel-wide client and within its
    // 30-pixel title strip.
    Gdiplus::Image close(skins.GetImagePath(L"close").c_str(), TRUE);
    CHECK(480 + close.GetWidth() <= 505);
    CHECK(10 + close.GetHeight() <= 30);
  }
}
