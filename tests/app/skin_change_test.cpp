// The main window itself in this test program (its resources are linked in), with the shipped skins
// next to it: after the skin manager loads another skin, the window's background, its bottom strip
// and its corner grip show the new skin's pictures without a restart.
#include <doctest/doctest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/win/Images.h"
#include "player/app/QuenbyDlg.h"
#include "player/common/Globals.h"
#include "player/ui/SkinMgr.h"

namespace {

struct Rgba {
  COLORREF colour;
  int alpha;
};

Rgba Pixel(const std::wstring& path, int x, int y) {
  Gdiplus::Bitmap bitmap(path.c_str());
  Gdiplus::Color c;
  bitmap.GetPixel(x, y, &c);
  return Rgba{RGB(c.GetR(), c.GetG(), c.GetB()), c.GetA()};
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

COLORREF ScreenPixel(HWND hwnd, int clientX, int clientY) {
  POINT p = {clientX, clientY};
  ClientToScreen(hwnd, &p);
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return c;
}

SIZE ImageSize(const std::wstring& path) {
  Gdiplus::Image image(path.c_str());
  return SIZE{(LONG)image.GetWidth(), (LONG)image.GetHeight()};
}

// The most opaque pixel of a picture (the first one from its bottom-right corner).
POINT MostOpaquePixel(const std::wstring& path) {
  Gdiplus::Bitmap bitmap(path.c_str());
  POINT best = {0, 0};
  int bestAlpha = -1;
  for (int y = (int)bitmap.GetHeight() - 1; y >= 0; --y)
    for (int x = (int)bitmap.GetWidth() - 1; x >= 0; --x) {
      Gdiplus::Color c;
      bitmap.GetPixel(x, y, &c);
      if (c.GetA() > bestAlpha) {
        bestAlpha = c.GetA();
        best = {x, y};
      }
    }
  return best;
}

std::string Hex(COLORREF c) {
  char buf[16];
  snprintf(buf, sizeof buf, "#%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
  return buf;
}

// Runs `step` from a timer of this thread while the dialog's own loop runs, until it returns true.
struct Script {
  std::function<bool()> step;
  static Script* current;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    if (current && current->step()) {
      KillTimer(nullptr, id);
      current = nullptr;
    }
  }
};
Script* Script::current = nullptr;

}  // namespace

TEST_CASE("a new skin repaints the main window's background, bottom strip and corner grip at once") {
  INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
  InitCommonControlsEx(&icc);
  CGdiPlusSession gdiplus;
  InitPaths();
  DeleteFileW(g_strDBPath.c_str());
  g_bShowAtStart = 1;  // as started without arguments
  const std::wstring skin = GetAppFolder() + L"\\skin\\";

  // Where to look in the window, and the colour the skin's pictures give that pixel.
  struct Spot {
    const char* what;
    std::function<COLORREF(int w, int h, const std::wstring& folder, POINT* client)> where;
  };
  const Spot spots[] = {
      {"background between the title and the title buttons",
       [](int w, int h, const std::wstring& folder, POINT* client) {
         std::wstring back = folder + L"backtop.png";
         SIZE im = ImageSize(back);
         *client = {600, 50};
         return Pixel(back, 600 * im.cx / w, (50 - 30) * im.cy / h).colour;
       }},
      {"bottom strip",
       [](int w, int h, const std::wstring& folder, POINT* client) {
         std::wstring strip = folder + L"backbottomu.png";
         SIZE im = ImageSize(strip);
         *client = {w / 2 + 3, h - 4};
         return Pixel(strip, (w / 2 + 3) % im.cx, im.cy - 4).colour;
       }},
      {"corner grip over the bottom strip",
       [](int w, int h, const std::wstring& folder, POINT* client) {
         std::wstring grip = folder + L"resizing.png", strip = folder + L"backbottomu.png";
         SIZE im = ImageSize(grip), st = ImageSize(strip);
         POINT p = MostOpaquePixel(grip);
         *client = {w - im.cx + p.x, h - im.cy + p.y};
         Rgba top = Pixel(grip, p.x, p.y), under = Pixel(strip, client->x % st.cx, st.cy - (h - client->y));
         auto mix = [&](int a, int b) { return (a * top.alpha + b * (255 - top.alpha)) / 255; };
         return RGB(mix(GetRValue(top.colour), GetRValue(under.colour)), mix(GetGValue(top.colour), GetGValue(under.colour)),
                    mix(GetBValue(top.colour), GetBValue(under.colour)));
       }},
  };

  CQuenbyDlg dlg;
  int phase = 0;
  bool sawDefault = false, sawMint = false;
  std::string defaultReport, mintReport;
  auto sample = [&](const wchar_t* skinFolder, std::string* report) {
    RECT rc = {};
    GetClientRect(dlg.m_hWnd, &rc);
    report->clear();
    for (const Spot& s : spots) {
      POINT client = {};
      COLORREF expected = s.where(rc.right, rc.bottom, skin + skinFolder + L"\\", &client);
      COLORREF shown = ScreenPixel(dlg.m_hWnd, client.x, client.y);
      if (!Near(shown, expected, 12))
        *report += std::string(s.what) + ": " + Hex(shown) + " instead of " + Hex(expected) + "; ";
    }
    return report->empty();
  };
  Script script;
  int ticks = 0;
  script.step = [&] {
    // A window that never shows up ends the test instead of hanging it.
    bool givingUp = ++ticks > 300;
    if (!givingUp && (!g_hMainWnd || !IsWindowVisible(g_hMainWnd))) return false;
    if (phase == 0 && !givingUp) {
      // The default skin first, then the switch.
      UpdateWindow(dlg.m_hWnd);
      sawDefault = sample(L"default", &defaultReport);
      SkinMgr::GetInstance().LoadSkin(L"mint.xml");
    }
    // The window repaints when the skin manager's message arrives: a few ticks at most.
    if (phase > 0) sawMint = sample(L"mint", &mintReport);
    if (!givingUp && !sawMint && ++phase < 50) return false;
    PostMessageW(dlg.m_hWnd, WM_CLOSE, 0, 0);
    return true;
  };
  Script::current = &script;
  SetTimer(nullptr, 0, 100, Script::Tick);
  dlg.DoModal();
  INFO("default skin: " << defaultReport);
  INFO("mint skin: " << mintReport);
  CHECK(sawDefault);
  CHECK(sawMint);
  DeleteFileW(g_strDBPath.c_str());
}
