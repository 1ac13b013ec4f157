// The application object: one static instance per program, run by RunApplication from wWinMain.
#pragma once
#include <windows.h>

class CWnd;

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Prepares the program. TRUE = run the message loop afterwards; FALSE = end at once
  // (ExitInstance still runs).
  virtual BOOL InitInstance() { return TRUE; }
  // The last call before the process ends; its result is the exit code.
  virtual int ExitInstance() { return m_exitCode; }
  // The message loop; ends with WM_QUIT. Returns ExitInstance's result.
  virtual int Run();

  static CWinApp* Current();

  HINSTANCE m_hInstance = nullptr;
  CWnd* m_pMainWnd = nullptr;

 protected:
  int m_exitCode = 0;
};

// Runs the program's application object. Called once from wWinMain.
int RunApplication(HINSTANCE instance);
