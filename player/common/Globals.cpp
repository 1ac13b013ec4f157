#include "player/common/Globals.h"

#include "platform/Text.h"

int g_bShowAtStart = 0;
std::wstring g_strTempMusicPath;
std::wstring g_strDBPath;
std::wstring g_strAppVersion = L"Beta1.0";
std::wstring g_strAppTime = L"20121008";
HWND g_hMainWnd = nullptr;

std::wstring GetAppFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  size_t slash = folder.rfind(L'\\');
  if (slash != std::wstring::npos) folder.resize(slash);
  return folder;
}

void InitPaths() {
  std::wstring folder = GetAppFolder();
  g_strTempMusicPath = StrFormat(L"%s\\music.mp3", folder.c_str());
  g_strDBPath = StrFormat(L"%s\\music_list.db", folder.c_str());
}
