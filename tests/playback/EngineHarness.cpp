#include "EngineHarness.h"

#include <cstdio>

#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/common/Messages.h"
#include "player/common/PlayState.h"
#include "player/common/Trace.h"
#include "player/playback/MusicPlayer.h"
#include "player/playback/TitleLabel.h"

namespace {
const wchar_t kClassName[] = L"HalveryEngineTestWindow";
}

TestMainWindow::TestMainWindow() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassW(&wc);  // fails harmlessly when already registered
  m_hWnd = CreateWindowExW(0, kClassName, L"engine test", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200, nullptr, nullptr,
                           wc.hInstance, nullptr);
  SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_hLabel = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 20, m_hWnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTitleLabelId)), wc.hInstance, nullptr);
  SetWindowLongPtrW(m_hLabel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_pfnLabelProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(m_hLabel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LabelProc)));
  g_hMainWnd = m_hWnd;
}

TestMainWindow::~TestMainWindow() {
  if (g_hMainWnd == m_hWnd) g_hMainWnd = nullptr;
  DestroyWindow(m_hWnd);
}

std::wstring TestMainWindow::Label() const {
  wchar_t text[512] = {};
  GetWindowTextW(m_hLabel, text, 512);
  return text;
}

LRESULT CALLBACK TestMainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TestMainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self) {
    EngineEvents& e = self->m_events;
    switch (message) {
      case WM_PLAY_LENGTH:
        if (e.lengths.empty()) e.progressAtFirstLength = e.progress.empty() ? 0 : e.progress.back();
        e.lengths.push_back((int)lParam);
        return 0;
      case WM_PLAY_POSITION:
        e.positions.push_back((unsigned)(wParam * 60 + lParam));
        return 0;
      case WM_DOWNLOAD_PROGRESS:
        e.progress.push_back((long long)wParam);
        return 0;
      case WM_DOWNLOAD_TOTAL:
        e.totals.push_back((long long)wParam);
        return 0;
      case WM_TRACK_ENDED:
        ++e.ended;
        e.autoNextAtEnd = g_bAutoNext;
        return 0;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TestMainWindow::LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TestMainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_SETTEXT && self) {
    self->m_events.labels.push_back(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"");
    self->m_events.positionsAtLabel.push_back(self->m_events.positions.size());
  }
  return CallWindowProcW(self->m_pfnLabelProc, hwnd, message, wParam, lParam);
}

bool TestMainWindow::PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
  ULONGLONG until = GetTickCount64() + limitMs;
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (GetTickCount64() >= until) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void TestMainWindow::PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

int StopAndDestroy(CMusicPlayer* player, TestMainWindow& window, int maxCalls) {
  if (!player) return 0;
  for (int calls = 1; calls <= maxCalls; ++calls) {
    if (player->safeExit() == 1) {
      delete player;
      return calls;
    }
    window.PumpFor(50);
  }
  return 0;  // leaked on purpose: its threads still use it
}

std::string ReadFileBytes(const std::wstring& path) {
  std::string bytes;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return bytes;
  char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
  fclose(f);
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return (fclose(f) == 0) && ok;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring TestFolder() { return GetAppFolder(); }

std::wstring FixturePath(const wchar_t* name) { return TestFolder() + L"\\..\\mp3\\" + name; }

std::wstring PrepareSongFolder() {
  std::wstring folder = TestFolder() + L"\\胎教歌曲";
  CreateDirectoryW(folder.c_str(), nullptr);
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(h, &found));
    FindClose(h);
  }
  g_strTempMusicPath = folder + L"\\music.mp3";
  return folder;
}

size_t TraceSize() { return ReadFileBytes(TraceFilePath()).size(); }

std::string TraceSince(size_t offset) {
  std::string all = ReadFileBytes(TraceFilePath());
  return offset < all.size() ? all.substr(offset) : std::string();
}

std::string Utf8(const std::wstring& text) { return WideToUtf8(text); }
