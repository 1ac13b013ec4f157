// The real main window under Wine: size and place, resizing, maximise and restore, dragging with
// the logo window following, the layout of the title buttons and the banner, the settings and skin
// toggles, and every way of closing it.
#include <doctest/doctest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "HalveryProcess.h"
#include "platform/win/Images.h"
#include "player/app/res/resource.h"
#include "player/common/Messages.h"

namespace {

CGdiPlusSession g_gdiplus;

// One running player per test case, started without arguments from a fresh folder.
struct Player {
  ProgramFolder folder;
  HalveryProcess process;
  HWND main = nullptr;
  SIZE back = {};  // the skin's background: the window is this plus the 30-pixel strip

  // `volume`: a database is prepared beforehand holding that volume (the player creates the rest).
  // `prepare` changes the program folder before the start.
  explicit Player(int volume = -1, const std::function<void(const ProgramFolder&)>& prepare = nullptr) {
    if (prepare) prepare(folder);
    if (volume >= 0) {
      std::string sql = "create table volume_info(music_vol int); insert into volume_info values(" +
                        std::to_string(volume) + ");";
      REQUIRE(ExecSql(folder.File(L"music_list.db"), sql.c_str()));
    }
    back = ImageSize(folder.File(L"skin\\default\\backtop.png"));
    REQUIRE(back.cx > 0);
    REQUIRE(process.Start(folder));
    main = process.WaitForMainWindow();
    REQUIRE(main);
    REQUIRE(WaitUntil([&] { return IsWindowVisible(main) != 0; }));
  }
  RECT Rect() const { return WindowRect(main); }
  RECT Client() const { return ClientRectOf(main); }
  // A point of the window's own background: inside the painted part, on no control, not under the logo.
  POINT BackgroundPoint() const {
    RECT w = Rect(), logo = WindowRect(process.Logo());
    const POINT candidates[] = {{Width(w) / 2, 48}, {Width(w) - 250, 45}, {400, 40}, {250, 100}, {Width(w) / 3, 150}};
    for (POINT c : candidates) {
      POINT screen = {w.left + c.x, w.top + c.y};
      if (PtInRect(&logo, screen)) continue;
      if (ChildWindowFromPointEx(main, c, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT) == main) return screen;
    }
    FAIL("no free background point");
    return POINT{};
  }
  POINT ButtonCentre(int id) const {
    RECT r = {};
    GetWindowRect(GetDlgItem(main, id), &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  bool InitialPlace() const {
    RECT w = Rect(), wa = WorkArea();
    return Width(w) == back.cx && Height(w) == back.cy + 30 && w.left == wa.left + (Width(wa) - Width(w)) / 2 &&
           w.top == wa.top + (Height(wa) - Height(w)) / 2;
  }
  bool Maximised() const {
    RECT w = Rect(), wa = WorkArea();
    return w.left == wa.left && w.top == wa.top - 30 && Width(w) == Width(wa) && Height(w) == Height(wa) + 30;
  }
};

}  // namespace

TEST_CASE("right after start the window has the skin's size plus the strip and sits centred") {
  Player p;
  INFO("window " << Describe(p.Rect()) << ", work area " << Describe(WorkArea()));
  CHECK(p.InitialPlace());
  RECT client = p.Client();
  CHECK(Width(client) == p.back.cx);
  CHECK(Height(client) == p.back.cy + 30);
  // Borderless: the client area is the whole window.
  CHECK(Width(client) == Width(p.Rect()));
  CHECK((GetWindowLongW(p.main, GWL_EXSTYLE) & WS_EX_LAYERED) != 0);
  // The logo window sits at (5, 20) of the window.
  HWND logo = p.process.Logo();
  REQUIRE(logo);
  RECT lr = WindowRect(logo);
  CHECK(lr.left == p.Rect().left + 5);
  CHECK(lr.top == p.Rect().top + 20);
}

TEST_CASE("the window is resized only at its right and bottom edges and its bottom-right corner") {
  Player p;
  RECT w = p.Rect();
  // Between the text-advertisement strip and the corner grip: the bottom edge is the window's own there.
  const int midX = w.right - 35, midY = (w.top + w.bottom) / 2;
  struct Point {
    const char* where;
    int x, y;
    LRESULT hit;
  };
  const Point points[] = {
      {"below the strip at the top", w.left + 300, w.top + 32, HTCLIENT},
      {"right edge", w.right - 1, midY, HTRIGHT},
      {"inside the right edge", w.right - 4, midY, HTCLIENT},
      {"right edge, third pixel", w.right - 3, midY, HTRIGHT},
      {"bottom edge", midX, w.bottom - 1, HTBOTTOM},
      {"inside the bottom edge", midX, w.bottom - 4, HTCLIENT},
      {"bottom edge, third pixel", midX, w.bottom - 3, HTBOTTOM},
      {"bottom-right corner", w.right - 5, w.bottom - 5, HTBOTTOMRIGHT},
      {"left of the corner", w.right - 11, w.bottom - 5, HTCLIENT},
      {"corner's inner pixel", w.right - 10, w.bottom - 10, HTBOTTOMRIGHT},
      {"left edge", w.left, midY, HTCLIENT},
  };
  // Cursor handles belong to the process that loaded them, so the player's cursors are told apart
  // rather than named: one cursor per kind of place, a new kind never showing a cursor seen before.
  std::map<LRESULT, HCURSOR> seen;
  for (const Point& pt : points) {
    CAPTURE(std::string(pt.where));
    CHECK(SendMessageW(p.main, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y)) == pt.hit);
    // Points on a control answer for the control; the edges and the background are the window's own.
    POINT client = {pt.x - w.left, pt.y - w.top};
    if (ChildWindowFromPointEx(p.main, client, CWP_SKIPINVISIBLE) != p.main) continue;
    MouseMove(pt.x, pt.y);
    REQUIRE(InputHandled(p.main));
    HCURSOR shown = CursorOf(p.main);
    bool expected = shown != nullptr;
    if (seen.count(pt.hit)) {
      expected = expected && shown == seen[pt.hit];
    } else {
      for (auto& kind : seen) expected = expected && kind.second != shown;
    }
    POINT at = {};
    GetCursorPos(&at);
    INFO("cursor " << shown << " at " << at.x << "," << at.y);
    CHECK(expected);
    seen[pt.hit] = shown;
  }
  CHECK(seen.size() == 4);  // background, right edge, bottom edge, corner
}

TEST_CASE("dragging the edges and the corner resizes the window, never below its initial size") {
  Player p;
  struct Drag_ {
    const char* what;
    int fromX, fromY;  // relative to the window's bottom-right corner
    int dx, dy;
    int expectedDw, expectedDh;
  };
  const Drag_ drags[] = {
      {"right edge outwards", -2, -300, 100, 0, 100, 0},
      {"bottom edge outwards", -35, -2, 0, 60, 100, 60},
      {"corner outwards", -6, -6, 40, 30, 140, 90},
      {"corner far inwards: stops at the initial size", -6, -6, -400, -400, 0, 0},
      {"left edge: moves the window, no resize", 0, 0, 0, 0, 0, 0},
  };
  const int initialW = Width(p.Rect()), initialH = Height(p.Rect());
  for (const Drag_& d : drags) {
    CAPTURE(std::string(d.what));
    RECT now = p.Rect();
    if (d.fromX == 0) {
      POINT from = {now.left + 1, now.top + 45};  // left of the logo, above the controls
      Drag(from, {from.x + 30, from.y + 20}, p.main);
      CHECK(WaitUntil([&] { return p.Rect().left == now.left + 30; }, 5000));
    } else {
      POINT from = {now.right + d.fromX, now.bottom + d.fromY};
      Drag(from, {from.x + d.dx, from.y + d.dy}, p.main);
      WaitUntil([&] { return Width(p.Rect()) == initialW + d.expectedDw && Height(p.Rect()) == initialH + d.expectedDh; },
                5000);
    }
    INFO("window " << Describe(p.Rect()));
    CHECK(Width(p.Rect()) == initialW + d.expectedDw);
    CHECK(Height(p.Rect()) == initialH + d.expectedDh);
  }
}

TEST_CASE("maximise fills the work area with the strip above the screen, and again restores and centres") {
  Player p;
  struct Way {
    const char* name;
    void (*act)(Player&);
  };
  const Way ways[] = {
      {"the maximise button", [](Player& p) {
         POINT c = p.ButtonCentre(IDC_BTN_MAX);
         Click(c.x, c.y);
       }},
      {"a double click on the background", [](Player& p) {
         POINT c = p.BackgroundPoint();
         MouseMove(c.x, c.y);
         MouseDown();
         MouseUp();
         MouseDown();
         MouseUp();
       }},
      {"the system command", [](Player& p) { PostMessageW(p.main, WM_SYSCOMMAND, SC_MAXIMIZE, 0); }},
  };
  for (const Way& way : ways) {
    CAPTURE(std::string(way.name));
    REQUIRE(p.InitialPlace());
    way.act(p);
    REQUIRE(InputHandled(p.main));
    CHECK(WaitUntil([&] { return p.Maximised(); }, 5000));
    SendMessageW(p.main, WM_NULL, 0, 0);  // the layout runs right after the size changed
    INFO("window " << Describe(p.Rect()) << ", work area " << Describe(WorkArea()));
    CHECK_FALSE(IsZoomed(p.main));  // never the system's maximised state
    RECT wa = WorkArea();
    // Laid out for the new size: banner, title buttons.
    RECT banner = ChildRect(p.main, IDC_BANNER_VIEW);
    CHECK(banner.left == (Width(wa) - 935) / 2 + 295);
    CHECK(ChildRect(p.main, IDC_BTN_CLOSE).right == Width(wa) - 10);
    way.act(p);
    REQUIRE(InputHandled(p.main));
    CHECK(WaitUntil([&] { return p.InitialPlace(); }, 5000));
    INFO("window " << Describe(p.Rect()));
    CHECK(p.InitialPlace());
  }
}

TEST_CASE("dragging the background moves the window and the logo window follows at (5, 20)") {
  Player p;
  struct Move {
    int dx, dy;
  };
  const Move moves[] = {{-120, -60}, {200, 90}, {7, 3}};
  for (const Move& m : moves) {
    CAPTURE(m.dx);
    CAPTURE(m.dy);
    RECT before = p.Rect();
    POINT from = p.BackgroundPoint();
    Drag(from, {from.x + m.dx, from.y + m.dy}, p.main);
    CHECK(WaitUntil([&] { return p.Rect().left == before.left + m.dx && p.Rect().top == before.top + m.dy; }, 5000));
    INFO("window " << Describe(p.Rect()) << " was " << Describe(before));
    CHECK(Width(p.Rect()) == Width(before));
    RECT logo = WindowRect(p.process.Logo());
    CHECK(logo.left == p.Rect().left + 5);
    CHECK(logo.top == p.Rect().top + 20);
  }
}

TEST_CASE("layout: title buttons right-aligned under the strip, banner centred right of the left column") {
  Player p;
  struct Size_ {
    int clientWidth, bannerLeft;
  };
  RECT wa = WorkArea();
  const Size_ sizes[] = {{(int)p.back.cx, (p.back.cx - 935) / 2 + 295}, {1280, 467}, {900, 278}, {1100, 377}};
  for (const Size_& s : sizes) {
    CAPTURE(s.clientWidth);
    // Set from outside: the window only ever lays out what it is given.
    SetWindowPos(p.main, nullptr, wa.left, wa.top, s.clientWidth, p.back.cy + 30,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    REQUIRE(WaitUntil([&] { return Width(p.Client()) == s.clientWidth; }));
    SendMessageW(p.main, WM_NULL, 0, 0);
    RECT banner = ChildRect(p.main, IDC_BANNER_VIEW);
    CHECK(banner.left == s.bannerLeft);
    CHECK(banner.top == 75);
    CHECK(Width(banner) == 640);
    CHECK(Height(banner) == 60);
    int right = s.clientWidth - 10;
    for (int id : {IDC_BTN_CLOSE, IDC_BTN_MAX, IDC_BTN_MIN, IDC_BTN_SETTING}) {
      CAPTURE(id);
      RECT r = ChildRect(p.main, id);
      CHECK(r.right == right);
      CHECK(r.top == 30);
      CHECK(Width(r) > 0);
      right = r.left;
    }
    // The main view and the tree reach down to the bottom strip; the links sit on it.
    RECT mainView = ChildRect(p.main, IDC_MAIN_VIEW);
    CHECK(mainView.right == s.clientWidth - 2);
    RECT ad = ChildRect(p.main, IDC_AD_TEXT), suggest = ChildRect(p.main, IDC_SUGGEST);
    CHECK(ad.right == s.clientWidth - 60);
    CHECK(ad.bottom == Height(p.Client()));
    CHECK(suggest.left == 5);
    CHECK(suggest.bottom == Height(p.Client()));
    CHECK(ChildRect(p.main, IDC_MUSIC_TREE).bottom == mainView.bottom);
  }
}

TEST_CASE("the settings button and the skin button each open their window and close it on the next press") {
  Player p;
  struct Toggle {
    const char* name;
    int id;
    bool command;  // a menu command instead of a click
  };
  const Toggle toggles[] = {
      {"settings button", IDC_BTN_SETTING, false},
      {"skin button", IDC_BTN_SKIN, false},
      {"tray menu's settings", ID_TRAY_SETTING, true},
  };
  for (const Toggle& t : toggles) {
    CAPTURE(std::string(t.name));
    auto press = [&] {
      if (t.command) {
        PostMessageW(p.main, WM_COMMAND, t.id, 0);
      } else {
        POINT c = p.ButtonCentre(t.id);
        Click(c.x, c.y);
      }
    };
    REQUIRE(p.process.VisibleOwnedWindows().empty());
    press();
    CHECK(WaitUntil([&] { return p.process.VisibleOwnedWindows().size() == 1; }, 5000));
    press();
    CHECK(WaitUntil([&] { return p.process.VisibleOwnedWindows().empty(); }, 5000));
    press();
    CHECK(WaitUntil([&] { return p.process.VisibleOwnedWindows().size() == 1; }, 5000));
    press();
    CHECK(WaitUntil([&] { return p.process.VisibleOwnedWindows().empty(); }, 5000));
  }
}

TEST_CASE("Enter and Escape leave the player running; every way of closing ends it in order") {
  SUBCASE("dialog keys do nothing") {
    Player p;
    for (WPARAM key : {(WPARAM)VK_RETURN, (WPARAM)VK_ESCAPE}) {
      CAPTURE(key);
      PostMessageW(p.main, WM_KEYDOWN, key, 0);
      PostMessageW(p.main, WM_KEYUP, key, 0);
      REQUIRE(InputHandled(p.main));
      CHECK(IsWindow(p.main));
      CHECK(IsWindowVisible(p.main));
      CHECK(p.process.Running());
    }
  }
  struct Way {
    const char* name;
    void (*close)(HWND main);
  };
  const Way ways[] = {
      {"WM_CLOSE", [](HWND main) { PostMessageW(main, WM_CLOSE, 0, 0); }},
      {"system close command (Alt+F4, taskbar)", [](HWND main) { PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"close button",
       [](HWND main) {
         RECT r = {};
         GetWindowRect(GetDlgItem(main, IDC_BTN_CLOSE), &r);
         Click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
       }},
      {"tray menu's exit", [](HWND main) { PostMessageW(main, WM_COMMAND, ID_TRAY_EXIT, 0); }},
      {"update about to install", [](HWND main) { PostMessageW(main, WM_UPDATE_EXIT, 0, 0); }},
  };
  for (const Way& way : ways) {
    CAPTURE(std::string(way.name));
    Player p(73);
    // The cached song of the last run is deleted on the way out; the volume is saved.
    p.folder.Write(L"music.mp3", "not really a song");
    way.close(p.main);
    REQUIRE(p.process.WaitForExit());
    CHECK(p.process.ExitCode() == 0);
    CHECK_FALSE(p.folder.Exists(L"music.mp3"));
    CHECK(QueryInt(p.folder.File(L"music_list.db"), "select music_vol from volume_info", -1) == 73);
    std::string log = p.folder.Read(L"Halvery.log");
    CHECK(log.find("未处理的异常") == std::string::npos);
  }
}


namespace {
// The skin description without the entries whose text contains `fragment`.
void DropFromSkin(const ProgramFolder& folder, const std::string& fragment) {
  std::string xml = folder.Read(L"skin\\default.xml"), kept;
  size_t start = 0;
  while (start < xml.size()) {
    size_t end = xml.find('\n', start);
    end = end == std::string::npos ? xml.size() : end + 1;
    std::string line = xml.substr(start, end - start);
    if (line.find(fragment) == std::string::npos) kept += line;
    start = end;
  }
  REQUIRE(kept.size() < xml.size());
  folder.Write(L"skin\\default.xml", kept);
}
}  // namespace

TEST_CASE("a skin that lacks images still gives a window that can be used, resized and closed") {
  struct Case {
    const char* name;
    std::function<void(const ProgramFolder&)> prepare;
    bool backgroundSize;  // the window takes the background's size
    bool bottomStrip;     // the views stop above the bottom strip
  };
  const Case cases[] = {
      {"no bottom strip image", [](const ProgramFolder& f) { DropFromSkin(f, "backbottomu"); }, true, false},
      {"no background image", [](const ProgramFolder& f) { DropFromSkin(f, "backtop"); }, false, true},
      {"no skin description at all", [](const ProgramFolder& f) { f.Remove(L"skin\\default.xml"); }, false, false},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    Player p(-1, c.prepare);
    RECT client = p.Client();
    INFO("client " << Describe(client));
    if (c.backgroundSize) {
      CHECK(Width(client) == p.back.cx);
      CHECK(Height(client) == p.back.cy + 30);
    } else {
      // The dialog template's own size, not a window shrunk to nothing.
      CHECK(Width(client) > 500);
      CHECK(Height(client) > 400);
    }
    RECT view = ChildRect(p.main, IDC_MAIN_VIEW);
    CHECK((view.bottom < Height(client)) == c.bottomStrip);
    CHECK(InputHandled(p.main));  // it paints
    // Bigger, then laid out and painted again.
    RECT w = p.Rect();
    // Asynchronous: a player that hangs must fail the check, not hang the test.
    SetWindowPos(p.main, nullptr, 0, 0, Width(w) + 50, Height(w) + 40,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    CHECK(WaitUntil([&] { return Width(p.Client()) == Width(w) + 50; }, 10000));
    CHECK(InputHandled(p.main));
    CHECK(ChildRect(p.main, IDC_MAIN_VIEW).right == Width(w) + 50 - 2);
    CHECK(p.process.Close());
    CHECK(p.process.ExitCode() == 0);
  }
}

namespace {
struct FindTip {
  DWORD pid;
  bool visible;
};
BOOL CALLBACK FindVisibleTip(HWND hwnd, LPARAM lp) {
  FindTip* f = reinterpret_cast<FindTip*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (pid == f->pid && lstrcmpiW(cls, L"tooltips_class32") == 0 && IsWindowVisible(hwnd)) f->visible = true;
  return TRUE;
}
bool TooltipShown(DWORD pid) {
  FindTip f = {pid, false};
  EnumWindows(FindVisibleTip, (LPARAM)&f);
  return f.visible;
}
}  // namespace

TEST_CASE("resting the mouse on a button shows its tooltip (input reaches the tooltips before dispatch)") {
  Player p;
  for (int id : {IDC_BTN_MAX, IDC_BTN_PREV, IDC_BTN_SKIN}) {
    CAPTURE(id);
    POINT away = p.BackgroundPoint();
    MouseMove(away.x, away.y);
    CHECK(WaitUntil([&] { return !TooltipShown(p.process.Pid()); }, 5000));
    // Tooltips show for the active window only; another test's window may have taken that place.
    SetForegroundWindow(p.main);
    POINT c = p.ButtonCentre(id);
    MouseMove(c.x, c.y);
    MouseMove(c.x + 1, c.y);  // the tooltip starts its timer on a move inside the tool
    CHECK(WaitUntil([&] { return TooltipShown(p.process.Pid()); }, 5000));
  }
}
