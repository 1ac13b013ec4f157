// The application object: prepares the process, keeps it a single instance and runs the main
// window modally for the life of the process.
#pragma once
#include <windows.h>

#include "platform/win/WinApp.h"

class CQuenbyApp : public CWinApp {
 public:
  // Always FALSE: the process ends when the main window has closed (or at once in a second instance).
  BOOL InitInstance() override;
  int ExitInstance() override;

 private:
  ULONG_PTR m_gdiplusToken = 0;
};

// Reads [VERSION] AppVersion and AppTime of Config.ini next to the program into g_strAppVersion
// and g_strAppTime; a missing file or key gives "Beta1.0" and "20121008".
void LoadVersionInfo();
