#include "player/playback/TitleLabel.h"

#include <windows.h>

#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/playback/StreamMath.h"

void SetTitleLabel(const std::wstring& text) {
  HWND main = g_hMainWnd;
  if (main) SetDlgItemTextW(main, kTitleLabelId, text.c_str());
}

std::wstring BufferingLabel(long long bytes) {
  return StrFormat(L"正在缓冲：%d %%", BufferingPercent(bytes));
}
