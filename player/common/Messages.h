// The main window's own messages: every worker thread and secondary window reports through these.
#pragma once
#include <windows.h>

enum : UINT {
  WM_PLAY_LENGTH = WM_USER + 100,        // 0x464 engine -> Start window (Send): lParam = length in seconds
  WM_PLAY_POSITION = WM_USER + 101,      // 0x465 engine -> Start window (Post): wParam minutes, lParam seconds
  WM_VOLUME_CHANGED = WM_USER + 102,     // 0x466 volume slider (Send): wParam = new volume
  WM_SEEK = WM_USER + 103,               // 0x467 progress bar (Send): wParam = target second
  WM_PLAY_ITEM = WM_USER + 104,          // 0x468 playlist tree (Send): wParam = tree item
  WM_DELETE_ITEM = WM_USER + 105,        // 0x469 playlist tree: wParam = item, lParam 0 one / 1 all
  WM_DOWNLOAD_PROGRESS = WM_USER + 106,  // 0x46a song download (Send): wParam = bytes received so far
  WM_DOWNLOAD_TOTAL = WM_USER + 107,     // 0x46b song download (Send): wParam = total bytes
  WM_TRACK_ENDED = WM_USER + 108,        // 0x46c engine (Post): a track it began has ended
  WM_PLAY_REQUEST = WM_USER + 109,       // 0x46d handler called directly by the request worker
  WM_TRAY_NOTIFY = WM_USER + 111,        // 0x46f tray icon callback: wParam icon id, lParam mouse message
  WM_UPDATE_EXIT = WM_USER + 112,        // 0x470 update thread (Post): installer about to run
  WM_SKIN_CHANGED = WM_USER + 113,       // 0x471 skin manager (Post): a new skin was applied
  WM_SHOW_POPUP = WM_USER + 114,         // 0x472 popup thread (Send): lParam = wchar_t* URL
};

// Used only inside the settings dialog and the skin chooser.
constexpr UINT WM_SECONDARY_PRIVATE = WM_USER + 110;  // 0x46e
