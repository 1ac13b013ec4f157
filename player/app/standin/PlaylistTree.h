// The playlist tree of the main window, kept to what the main window needs now: the tree control
// with its row height and the current-song field the main window points into.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "platform/win/Controls.h"

class CMyCtreeCtrl : public CTreeCtrl {
 public:
  HTREEITEM m_hCurItem = nullptr;  // the song being played, 0 when none

 protected:
  void PreSubclassWindow() override { SetItemHeight(24); }
};
