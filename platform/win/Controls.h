// Thin objects for the system controls the program's windows attach to their templates.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "platform/win/Wnd.h"

class CButton : public CWnd {
 public:
  void AddStyle(DWORD style) const { SetWindowLongW(m_hWnd, GWL_STYLE, GetWindowLongW(m_hWnd, GWL_STYLE) | style); }
};

class CStatic : public CWnd {};

class CTreeCtrl : public CWnd {
 public:
  HTREEITEM InsertItem(const std::wstring& text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
  int SetItemHeight(int height) const { return (int)SendMessage(TVM_SETITEMHEIGHT, (WPARAM)height); }
  BOOL Expand(HTREEITEM item, UINT code = TVE_EXPAND) const { return (BOOL)SendMessage(TVM_EXPAND, code, (LPARAM)item); }
  BOOL SelectItem(HTREEITEM item) const { return (BOOL)SendMessage(TVM_SELECTITEM, TVGN_CARET, (LPARAM)item); }
  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
    return (HTREEITEM)SendMessage(TVM_GETNEXTITEM, code, (LPARAM)item);
  }
};

// A tooltip window with tools on one owner window.
class CToolTipCtrl : public CWnd {
 public:
  bool Create(HWND owner, DWORD style = 0);
  bool AddTool(HWND owner, UINT_PTR id, const RECT& rect, const std::wstring& text);
  void UpdateTipText(HWND owner, UINT_PTR id, const std::wstring& text);
  void SetToolRect(HWND owner, UINT_PTR id, const RECT& rect);
  void RelayEvent(MSG* msg) const {
    if (m_hWnd) ::SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, (LPARAM)msg);
  }
  void SetDelayTime(DWORD which, int ms) const { SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(ms, 0)); }
  void SetMaxTipWidth(int width) const { SendMessage(TTM_SETMAXTIPWIDTH, 0, width); }
};
