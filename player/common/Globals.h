// Process-wide paths, version and window globals shared by every subsystem.
// Start-up fills them once on the UI thread before any worker exists; afterwards they are only read.
#pragma once
#include <windows.h>
#include <string>

extern int g_bShowAtStart;                // 1 when the command line holds no "/"
extern std::wstring g_strTempMusicPath;   // program folder + "\music.mp3"
extern std::wstring g_strDBPath;          // program folder + "\music_list.db"
extern std::wstring g_strAppVersion;      // Config.ini [VERSION] AppVersion
extern std::wstring g_strAppTime;         // Config.ini [VERSION] AppTime (yyyymmdd)
extern HWND g_hMainWnd;                   // the main window, for worker threads

// The folder of the running program file, without trailing backslash; computed afresh on every call.
std::wstring GetAppFolder();
// Sets g_strTempMusicPath and g_strDBPath from GetAppFolder().
void InitPaths();
