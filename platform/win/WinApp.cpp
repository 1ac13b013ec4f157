#include "platform/win/WinApp.h"

#include <exception>

#include "platform/win/MessageLoop.h"
#include "platform/win/Wnd.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

CWinApp* CWinApp::Current() { return g_app; }

int CWinApp::Run() {
  m_exitCode = RunMessageLoop();
  return ExitInstance();
}

int RunApplication(HINSTANCE instance) {
  CWinApp* app = CWinApp::Current();
  if (!app) return 1;
  app->m_hInstance = instance;
  try {
    if (!app->InitInstance()) return app->ExitInstance();
    return app->Run();
  } catch (const std::exception& e) {
    ReportWindowError(L"application", e.what());
  } catch (...) {
    ReportWindowError(L"application", "unknown exception");
  }
  return 1;
}
