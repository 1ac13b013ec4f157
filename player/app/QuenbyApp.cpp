#include "player/app/QuenbyApp.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <ole2.h>

#include "platform/Text.h"
#include "platform/win/Wnd.h"
#include "player/app/QuenbyDlg.h"
#include "player/common/Globals.h"
#include "player/common/Trace.h"

namespace {

const wchar_t kInstanceMutex[] = L"MUTEX_MORVANELPLAYER";
const wchar_t kMainWindowClass[] = L"#32770";
const wchar_t kMainWindowTitle[] = L"Morvanel";

void TraceWindowError(const wchar_t* where, const char* what) {
  Trace(StrFormat(L"未处理的异常（%s）：%s", where, ThreadAnsiToWide(what).c_str()));
}

}  // namespace

void LoadVersionInfo() {
  std::wstring path = GetAppFolder() + L"\\Config.ini";
  wchar_t buffer[260] = {};
  GetPrivateProfileStringW(L"VERSION", L"AppVersion", L"Beta1.0", buffer, 260, path.c_str());
  g_strAppVersion = buffer;
  wchar_t time[260] = {};
  GetPrivateProfileStringW(L"VERSION", L"AppTime", L"20121008", time, 260, path.c_str());
  g_strAppTime = time;
}

BOOL CQuenbyApp::InitInstance() {
  // The web views host the system's browser control, which needs OLE on this thread.
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
  InitCommonControlsEx(&icc);
  CWinApp::InitInstance();
  Gdiplus::GdiplusStartupInput gdiplusInput;
  Gdiplus::GdiplusStartup(&m_gdiplusToken, &gdiplusInput, nullptr);
  SetWindowErrorReporter(TraceWindowError);

  SetCurrentDirectoryW((GetAppFolder() + L"\\").c_str());

  // Any "/" in the command line (the start-at-logon switch is "/veldrano") starts the player
  // hidden in the notification area.
  if (!wcschr(GetCommandLineW(), L'/')) g_bShowAtStart = 1;

  // The handle stays open for the life of the process.
  SetLastError(0);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceMutex);
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    HWND other = FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (other) ShowWindow(other, SW_SHOW);
    return FALSE;
  }

  InitPaths();
  LoadVersionInfo();
  Trace(StrFormat(L"启动：版本 %s，日期 %s", g_strAppVersion.c_str(), g_strAppTime.c_str()));

  CQuenbyDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

int CQuenbyApp::ExitInstance() {
  if (m_gdiplusToken) Gdiplus::GdiplusShutdown(m_gdiplusToken);
  m_gdiplusToken = 0;
  return CWinApp::ExitInstance();
}
