// The settings window and the skin chooser as the main window toggles them: modeless windows
// owned by the main window that clear their open flag when they close. Their pages and skin
// list come with their own windows; these show only their title strip.
#pragma once
#include <windows.h>

#include <string>

#include "platform/win/Wnd.h"

class CSecondaryPanel : public CWnd {
 public:
  // Creates the window at (x, y) in screen coordinates, owned by `owner`; *openFlag is cleared
  // when the window goes away. The object deletes itself then.
  bool CreatePanel(HWND owner, int x, int y, int* openFlag);

 protected:
  CSecondaryPanel(const wchar_t* title, int width, int height) : m_title(title), m_width(width), m_height(height) {}
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(HDC) override { return TRUE; }
  void PostNcDestroy() override;

 private:
  std::wstring m_title;
  int m_width, m_height;
  int* m_pOpenFlag = nullptr;
};

class CSetting : public CSecondaryPanel {
 public:
  CSetting() : CSecondaryPanel(L"设置", 560, 400) {}
};

class CSkinDlg : public CSecondaryPanel {
 public:
  CSkinDlg() : CSecondaryPanel(L"皮肤与界面调整", 300, 200) {}
};
