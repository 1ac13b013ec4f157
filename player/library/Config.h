// The settings record: one string per column of the table config_info, in column order.
// Numbers are held as decimal text; read them with ConfigInt.
#pragma once
#include <string>

struct ConfigRecord {
  std::wstring AutoUpdate;        // 1 = check for updates automatically
  std::wstring MusicPath;         // folder of the cached songs, ends with a backslash
  std::wstring DownloadSpeed;
  std::wstring DownloadSpeed_u;
  std::wstring DownloadSpeed_d;
  std::wstring MaxDownload;
  std::wstring ClickMusicName;    // search result double-click: 0 download and play, 1 play only
  std::wstring ClickClose;        // close button: 0 hide to the tray, 1 exit
  std::wstring ClickDelete;       // delete button: 0 keep the file, 1 delete it, 2 ask
  std::wstring AutoPlay;          // 1 = play the first song at start
  std::wstring AutoRun;           // 1 = start with Windows
  std::wstring AcceptMsg;         // 1 = accept pop-ups and promotions
  std::wstring CommitNotify;      // 1 = accept feedback notices
};

// Loaded when the database object is created; written back by CMusicListDB::SaveConfig.
extern ConfigRecord g_Config;

// The decimal value of a setting: leading blanks, an optional sign, then digits; anything else
// ends the number, and an empty or non-numeric text reads as 0. Values beyond int are clamped.
int ConfigInt(const std::wstring& text);
