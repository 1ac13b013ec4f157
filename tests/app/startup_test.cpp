// Start-up of the real Halvery.exe: shown or hidden by the command line, one instance only, the
// version from Config.ini, the program folder as the current directory.
#include <doctest/doctest.h>
#include <windows.h>

#include <string>

#include "HalveryProcess.h"
#include "platform/Text.h"
#include "platform/win/Images.h"

namespace {
CGdiPlusSession g_gdiplus;

std::wstring Lower(std::wstring s) {
  CharLowerW(&s[0]);
  return s;
}
}  // namespace

TEST_CASE("the command line decides whether the main window starts shown or hidden") {
  struct Case {
    const char* name;
    std::wstring args;
    bool slashInProgramPath;
    bool shown;
  };
  const Case cases[] = {
      {"no arguments", L"", false, true},
      {"the start-at-logon switch", L"/veldrano", false, false},
      {"any other switch", L"/x", false, false},
      {"a slash inside another argument", L"music\\a/b.mp3", false, false},
      {"a slash in the program path", L"", true, false},
      {"an argument without a slash", L"-veldrano", false, true},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    ProgramFolder folder;
    HalveryProcess player;
    std::wstring commandLine;
    if (c.slashInProgramPath) {
      // Windows takes "/" as a separator in a path, so the program starts from the same file.
      std::wstring exe = folder.File(L"Halvery.exe");
      exe[exe.rfind(L'\\')] = L'/';
      commandLine = L"\"" + exe + L"\"";
    }
    REQUIRE(player.Start(folder, c.args, L"", commandLine));
    HWND main = player.WaitForMainWindow();
    REQUIRE(main);
    CHECK(IsWindowVisible(main) == (c.shown ? TRUE : FALSE));
    HWND logo = player.Logo();
    REQUIRE(logo);
    CHECK(IsWindowVisible(logo) == (c.shown ? TRUE : FALSE));
    if (!c.shown) {
      // Nobody else can show it while it is meant to stay hidden.
      ShowWindow(main, SW_SHOW);
      SendMessageW(main, WM_NULL, 0, 0);
      CHECK_FALSE(IsWindowVisible(main));
    }
    CHECK(player.Close());
    CHECK(player.ExitCode() == 0);
  }
}

TEST_CASE("a second start ends at once and asks the first instance's window to show itself") {
  struct Case {
    const char* name;
    std::wstring firstArgs;
    bool hideFirstFromOutside;
    bool firstShownAfterwards;
  };
  const Case cases[] = {
      {"first instance shown", L"", false, true},
      {"first instance's window hidden by someone else", L"", true, true},
      {"first instance hidden in the notification area", L"/veldrano", false, false},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    ProgramFolder firstFolder, secondFolder;
    HalveryProcess first;
    REQUIRE(first.Start(firstFolder, c.firstArgs));
    HWND main = first.WaitForMainWindow();
    REQUIRE(main);
    if (c.hideFirstFromOutside) {
      ShowWindow(main, SW_HIDE);
      REQUIRE_FALSE(IsWindowVisible(main));
    }

    HalveryProcess second;
    REQUIRE(second.Start(secondFolder));
    REQUIRE(second.WaitForExit());
    CHECK(second.ExitCode() == 0);
    // It touched nothing of its own: no database, no log.
    CHECK_FALSE(secondFolder.Exists(L"music_list.db"));
    CHECK_FALSE(secondFolder.Exists(L"Halvery.log"));

    SendMessageW(main, WM_NULL, 0, 0);
    CHECK(IsWindowVisible(main) == (c.firstShownAfterwards ? TRUE : FALSE));
    CHECK(first.Running());
    CHECK(first.Close());
  }
}

TEST_CASE("the version comes from Config.ini next to the program, with defaults for what it lacks") {
  struct Case {
    const char* name;
    const char* ini;  // null: no Config.ini at all
    const char* expectedLine;
  };
  const Case cases[] = {
      {"both values", "[VERSION]\r\nAppVersion=Beta3.1\r\nAppTime=20240101\r\n", "启动：版本 Beta3.1，日期 20240101"},
      {"only AppVersion", "[VERSION]\r\nAppVersion=Beta2.0\r\n", "启动：版本 Beta2.0，日期 20121008"},
      {"only AppTime", "[VERSION]\r\nAppTime=20200202\r\n", "启动：版本 Beta1.0，日期 20200202"},
      {"another section only", "[SERVICE]\r\nApiHost=127.0.0.1\r\n", "启动：版本 Beta1.0，日期 20121008"},
      {"no Config.ini", nullptr, "启动：版本 Beta1.0，日期 20121008"},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    ProgramFolder folder;
    if (c.ini)
      folder.Write(L"Config.ini", c.ini);
    else
      folder.Remove(L"Config.ini");
    HalveryProcess player;
    REQUIRE(player.Start(folder));
    REQUIRE(player.WaitForMainWindow());
    CHECK(player.Close());
    std::string log = folder.Read(L"Halvery.log");
    CAPTURE(log);
    CHECK(log.find(std::string(": ") + c.expectedLine + "\r\n") != std::string::npos);
  }
}

TEST_CASE("started from another current directory, the program works in its own folder") {
  struct Case {
    const char* name;
    std::wstring folderName;
  };
  const Case cases[] = {{"plain folder name", L"Halvery"}, {"Chinese folder name", L"胎教音乐 播放器"}};
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    ProgramFolder folder(c.folderName);
    ProgramFolder elsewhere(L"elsewhere");
    HalveryProcess player;
    REQUIRE(player.Start(folder, L"", elsewhere.Path()));
    HWND main = player.WaitForMainWindow();
    REQUIRE(main);
    CHECK(Lower(ProcessCurrentDirectory(player.Process())) == Lower(folder.Path() + L"\\"));
    // The skin was found: the window has the size of its background plus the transparent strip.
    SIZE back = ImageSize(folder.File(L"skin\\default\\backtop.png"));
    RECT client = ClientRectOf(main);
    CHECK(Width(client) == back.cx);
    CHECK(Height(client) == back.cy + 30);
    CHECK(player.Close());
    CHECK(folder.Exists(L"music_list.db"));
    CHECK(folder.Exists(L"Halvery.log"));
    CHECK_FALSE(elsewhere.Exists(L"music_list.db"));
    CHECK_FALSE(elsewhere.Exists(L"Halvery.log"));
  }
}
