#include "HalveryProcess.h"

#include <doctest/doctest.h>
#include <gdiplus.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>

#include "TestFiles.h"
#include "platform/Text.h"

bool WaitUntil(const std::function<bool()>& done, DWORD limitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > limitMs) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(20);
  }
}

// ---------------------------------------------------------------------------------------------
// Program folders

namespace {

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.rfind(L'\\'));
}

bool IsUserData(const std::wstring& name) {
  return lstrcmpiW(name.c_str(), L"music_list.db") == 0 || lstrcmpiW(name.c_str(), L"Halvery.log") == 0 ||
         lstrcmpiW(name.c_str(), L"music.mp3") == 0;
}

void CopyTree(const std::wstring& from, const std::wstring& to, bool top) {
  CreateDirectoryW(to.c_str(), nullptr);
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    if (top && IsUserData(name)) continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      CopyTree(from + L"\\" + name, to + L"\\" + name, false);
    else
      CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
  } while (FindNextFileW(find, &fd));
  FindClose(find);
}

}  // namespace

std::wstring StagedFolder() {
  wchar_t full[MAX_PATH] = {};
  std::wstring relative = Utf8ToWide(HALVERY_STAGE_RELATIVE);
  for (wchar_t& c : relative)
    if (c == L'/') c = L'\\';
  GetFullPathNameW((ModuleFolder() + L"\\" + relative).c_str(), MAX_PATH, full, nullptr);
  return full;
}

ProgramFolder::ProgramFolder(const std::wstring& name) {
  static int counter = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  m_root = StrFormat(L"%shalvery-app-%lu-%d", temp, GetCurrentProcessId(), ++counter);
  testfiles::RemoveTree(m_root);
  CreateDirectoryW(m_root.c_str(), nullptr);
  m_path = m_root + L"\\" + name;
  CopyTree(StagedFolder(), m_path, true);
}

ProgramFolder::~ProgramFolder() {
  // A program that has just ended may hold its files for a moment.
  WaitUntil([&] { return testfiles::RemoveTree(m_root); }, 5000);
}

bool ProgramFolder::Exists(const std::wstring& relative) const {
  return GetFileAttributesW(File(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ProgramFolder::Write(const std::wstring& relative, const std::string& bytes) const {
  HANDLE f = CreateFileW(File(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  REQUIRE(f != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(f);
}

std::string ProgramFolder::Read(const std::wstring& relative) const { return ReadFileBytes(File(relative)); }

void ProgramFolder::Remove(const std::wstring& relative) const { DeleteFileW(File(relative).c_str()); }

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
  CloseHandle(f);
  return bytes;
}

// ---------------------------------------------------------------------------------------------
// The process

HalveryProcess::~HalveryProcess() {
  if (m_pi.hProcess) {
    if (Running() && !Close()) TerminateProcess(m_pi.hProcess, 99);
    WaitForSingleObject(m_pi.hProcess, 5000);
    CloseHandle(m_pi.hProcess);
    CloseHandle(m_pi.hThread);
  }
}

bool HalveryProcess::Start(const ProgramFolder& folder, const std::wstring& args, const std::wstring& currentDir,
                           const std::wstring& commandLine) {
  std::wstring line = commandLine;
  if (line.empty()) {
    line = L"\"" + folder.File(L"Halvery.exe") + L"\"";
    if (!args.empty()) line += L" " + args;
  }
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  std::vector<wchar_t> buf(line.begin(), line.end());
  buf.push_back(0);
  return CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDir.empty() ? nullptr : currentDir.c_str(), &si, &m_pi) != 0;
}

namespace {

struct FindMain {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindMainProc(HWND hwnd, LPARAM lp) {
  FindMain* f = reinterpret_cast<FindMain*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != f->pid) return TRUE;
  wchar_t cls[64] = {}, title[64] = {};
  GetClassNameW(hwnd, cls, 64);
  GetWindowTextW(hwnd, title, 64);
  if (std::wstring(cls) == L"#32770" && std::wstring(title) == L"Morvanel") {
    f->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

struct CollectOwned {
  DWORD pid;
  HWND owner;
  bool layeredOnly;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectOwnedProc(HWND hwnd, LPARAM lp) {
  CollectOwned* c = reinterpret_cast<CollectOwned*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != c->pid || hwnd == c->owner || GetWindow(hwnd, GW_OWNER) != c->owner) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (lstrcmpiW(cls, L"tooltips_class32") == 0) return TRUE;
  if (c->layeredOnly && !(GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED)) return TRUE;
  if (c->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
  c->found.push_back(hwnd);
  return TRUE;
}

}  // namespace

HWND HalveryProcess::WaitForMainWindow() {
  FindMain f = {m_pi.dwProcessId, nullptr};
  WaitUntil([&] {
    EnumWindows(FindMainProc, (LPARAM)&f);
    return f.found != nullptr || !Running();
  });
  m_main = f.found;
  if (!m_main) return nullptr;
  WaitForInputIdle(m_pi.hProcess, 20000);
  // Start-up has finished when the window answers from its message loop and has stopped moving.
  RECT last = {};
  int still = 0;
  WaitUntil([&] {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(m_main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &r)) return false;
    RECT now = WindowRect(m_main);
    still = SameRect(now, last) ? still + 1 : 0;
    last = now;
    return still >= 3;
  });
  return m_main;
}

bool HalveryProcess::Running() const {
  return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool HalveryProcess::WaitForExit(DWORD limitMs) {
  return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, limitMs) == WAIT_OBJECT_0;
}

DWORD HalveryProcess::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(m_pi.hProcess, &code);
  return code;
}

bool HalveryProcess::Close() {
  if (!Running()) return true;
  if (m_main) PostMessageW(m_main, WM_CLOSE, 0, 0);
  return WaitForExit();
}

HWND HalveryProcess::Logo() const {
  CollectOwned c = {m_pi.dwProcessId, m_main, true, false, {}};
  EnumWindows(CollectOwnedProc, (LPARAM)&c);
  return c.found.empty() ? nullptr : c.found[0];
}

std::vector<HWND> HalveryProcess::VisibleOwnedWindows() const {
  CollectOwned c = {m_pi.dwProcessId, m_main, false, true, {}};
  EnumWindows(CollectOwnedProc, (LPARAM)&c);
  HWND logo = Logo();
  std::vector<HWND> others;
  for (HWND h : c.found)
    if (h != logo) others.push_back(h);
  return others;
}

// ---------------------------------------------------------------------------------------------
// Geometry

RECT WindowRect(HWND hwnd) {
  RECT r = {};
  GetWindowRect(hwnd, &r);
  return r;
}

RECT ClientRectOf(HWND hwnd) {
  RECT r = {};
  GetClientRect(hwnd, &r);
  return r;
}

RECT ChildRect(HWND parent, int id) {
  RECT r = {};
  HWND child = GetDlgItem(parent, id);
  if (!child) return r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, (POINT*)&r, 2);
  return r;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

RECT WorkArea() {
  RECT wa = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
  return wa;
}

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

std::string Describe(const RECT& r) {
  char buf[96];
  snprintf(buf, sizeof buf, "(%ld, %ld)-(%ld, %ld) %ldx%ld", r.left, r.top, r.right, r.bottom, r.right - r.left,
           r.bottom - r.top);
  return buf;
}

// ---------------------------------------------------------------------------------------------
// Input

namespace {

void SendMouse(DWORD flags, int x = 0, int y = 0) {
  INPUT in = {};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  if (flags & MOUSEEVENTF_ABSOLUTE) {
    // The system maps dx to dx * width / 65536: round up so that it lands on the pixel itself.
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = (LONG)(((long long)x * 65536 + w - 1) / w);
    in.mi.dy = (LONG)(((long long)y * 65536 + h - 1) / h);
  }
  SendInput(1, &in, sizeof in);
  Sleep(30);  // gives the receiving thread its turn, as a hand on a mouse would
}

}  // namespace

void MouseMove(int x, int y) {
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
  WaitUntil(
      [&] {
        POINT p;
        GetCursorPos(&p);
        return p.x == x && p.y == y;
      },
      2000);
}

void MouseDown() { SendMouse(MOUSEEVENTF_LEFTDOWN); }
void MouseUp() { SendMouse(MOUSEEVENTF_LEFTUP); }

void Click(int x, int y) {
  MouseMove(x, y);
  MouseDown();
  MouseUp();
}

static bool InMoveSizeLoop(HWND hwnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
  return thread && GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMOVESIZE);
}

void Drag(POINT from, POINT to, HWND target) {
  MouseMove(from.x, from.y);
  InputHandled(target);
  MouseDown();
  InputHandled(target);
  // The player starts the system's move or size loop from a posted message; moving the mouse before
  // that loop runs would lose the first steps, which a small drag cannot afford.
  WaitUntil([&] { return InMoveSizeLoop(target); }, 2000);
  const int steps = 8;
  for (int i = 1; i <= steps; ++i) {
    MouseMove(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    InputHandled(target);
  }
  MouseUp();
  InputHandled(target);
}

bool InputHandled(HWND hwnd) {
  RECT piece = {0, 0, 1, 1};
  InvalidateRect(hwnd, &piece, FALSE);
  return WaitUntil([&] { return !GetUpdateRect(hwnd, nullptr, FALSE); }, 10000);
}

HCURSOR CursorOf(HWND hwnd) {
  DWORD thread = GetWindowThreadProcessId(hwnd, nullptr);
  if (!thread || !AttachThreadInput(GetCurrentThreadId(), thread, TRUE)) return nullptr;
  HCURSOR cursor = GetCursor();
  AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
  return cursor;
}

// ---------------------------------------------------------------------------------------------
// Images, screenshots, files, database, process parameters

SIZE ImageSize(const std::wstring& path) {
  Gdiplus::Image image(path.c_str());
  if (image.GetLastStatus() != Gdiplus::Ok) return SIZE{0, 0};
  return SIZE{(LONG)image.GetWidth(), (LONG)image.GetHeight()};
}

namespace {
bool PngEncoder(CLSID* clsid) {
  UINT count = 0, size = 0;
  Gdiplus::GetImageEncodersSize(&count, &size);
  if (!size) return false;
  std::vector<char> buf(size);
  Gdiplus::ImageCodecInfo* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
  Gdiplus::GetImageEncoders(count, size, codecs);
  for (UINT i = 0; i < count; ++i)
    if (std::wstring(codecs[i].MimeType) == L"image/png") {
      *clsid = codecs[i].Clsid;
      return true;
    }
  return false;
}
}  // namespace

bool SaveScreenshot(const std::wstring& path) {
  int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  bool saved = false;
  CLSID png;
  if (PngEncoder(&png)) {
    Gdiplus::Bitmap image(bmp, nullptr);
    saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
  }
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return saved;
}

int QueryInt(const std::wstring& dbPath, const char* sql, int fallback) {
  sqlite3* db = nullptr;
  int value = fallback;
  if (sqlite3_open_v2(WideToUtf8(dbPath).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      value = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return value;
}

bool ExecSql(const std::wstring& dbPath, const char* sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(WideToUtf8(dbPath).c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

std::wstring ProcessCurrentDirectory(HANDLE process) {
  struct BasicInformation {
    LONG_PTR exitStatus;
    PVOID peb;
    ULONG_PTR affinity, priority, pid, parentPid;
  } info = {};
  using QueryFn = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  QueryFn query = (QueryFn)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
  if (!query || query(process, 0, &info, sizeof info, nullptr) != 0) return L"";
#ifdef _WIN64
  const size_t kParametersInPeb = 0x20, kCurrentDirectoryInParameters = 0x38;
#else
  const size_t kParametersInPeb = 0x10, kCurrentDirectoryInParameters = 0x24;
#endif
  PVOID parameters = nullptr;
  if (!ReadProcessMemory(process, (char*)info.peb + kParametersInPeb, &parameters, sizeof parameters, nullptr))
    return L"";
  struct {
    USHORT length, maximumLength;
    PWSTR buffer;
  } dosPath = {};
  if (!ReadProcessMemory(process, (char*)parameters + kCurrentDirectoryInParameters, &dosPath, sizeof dosPath,
                         nullptr))
    return L"";
  std::wstring dir(dosPath.length / sizeof(wchar_t), L'\0');
  if (!dir.empty() && !ReadProcessMemory(process, dosPath.buffer, &dir[0], dosPath.length, nullptr)) return L"";
  return dir;
}

// ---------------------------------------------------------------------------------------------
// A picture of the screen for every test case with a failed check.

namespace {

struct ScreenshotOnFailure : doctest::IReporter {
  explicit ScreenshotOnFailure(const doctest::ContextOptions&) {}
  void report_query(const doctest::QueryData&) override {}
  void test_run_start() override {}
  void test_run_end(const doctest::TestRunStats&) override {}
  void test_case_start(const doctest::TestCaseData& tc) override {
    ++m_case;
    m_saved = false;
    m_name = tc.m_name;
  }
  void test_case_reenter(const doctest::TestCaseData&) override {}
  void test_case_end(const doctest::CurrentTestCaseStats&) override {}
  void test_case_exception(const doctest::TestCaseException&) override { Save(); }
  void subcase_start(const doctest::SubcaseSignature&) override {}
  void subcase_end() override {}
  void log_assert(const doctest::AssertData& ad) override {
    if (ad.m_failed) Save();
  }
  void log_message(const doctest::MessageData&) override {}
  void test_case_skipped(const doctest::TestCaseData&) override {}

  void Save() {
    if (m_saved) return;
    m_saved = true;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    std::wstring path = StrFormat(L"%s\\failure-%s-%d.png", ModuleFolder().c_str(),
                                  Utf8ToWide(HALVERY_TEST_NAME).c_str(), m_case);
    if (SaveScreenshot(path)) printf("screenshot of the failure: %s\n", WideToUtf8(path).c_str());
    Gdiplus::GdiplusShutdown(token);
  }

  int m_case = 0;
  bool m_saved = false;
  std::string m_name;
};

}  // namespace

REGISTER_LISTENER("screenshot-on-failure", 1, ScreenshotOnFailure);
