#include "platform/win/Controls.h"

HTREEITEM CTreeCtrl::InsertItem(const std::wstring& text, HTREEITEM parent, HTREEITEM after) {
  TVINSERTSTRUCTW ins = {};
  ins.hParent = parent;
  ins.hInsertAfter = after;
  ins.item.mask = TVIF_TEXT;
  ins.item.pszText = const_cast<wchar_t*>(text.c_str());
  return (HTREEITEM)SendMessage(TVM_INSERTITEMW, 0, (LPARAM)&ins);
}

bool CToolTipCtrl::Create(HWND owner, DWORD style) {
  CreateArgs a;
  a.className = TOOLTIPS_CLASSW;
  a.style = WS_POPUP | style;
  a.exStyle = WS_EX_TOOLWINDOW;
  a.x = a.y = a.cx = a.cy = CW_USEDEFAULT;
  a.parent = owner;
  return CWnd::Create(a);
}

namespace {
TTTOOLINFOW ToolInfo(HWND owner, UINT_PTR id) {
  TTTOOLINFOW ti = {};
  ti.cbSize = sizeof ti;
  ti.hwnd = owner;
  ti.uId = id;
  return ti;
}
}  // namespace

bool CToolTipCtrl::AddTool(HWND owner, UINT_PTR id, const RECT& rect, const std::wstring& text) {
  TTTOOLINFOW ti = ToolInfo(owner, id);
  ti.uFlags = 0;
  ti.rect = rect;
  ti.hinst = AppInstance();
  ti.lpszText = const_cast<wchar_t*>(text.c_str());
  return SendMessage(TTM_ADDTOOLW, 0, (LPARAM)&ti) != 0;
}

void CToolTipCtrl::UpdateTipText(HWND owner, UINT_PTR id, const std::wstring& text) {
  TTTOOLINFOW ti = ToolInfo(owner, id);
  ti.hinst = AppInstance();
  ti.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessage(TTM_UPDATETIPTEXTW, 0, (LPARAM)&ti);
}

void CToolTipCtrl::SetToolRect(HWND owner, UINT_PTR id, const RECT& rect) {
  TTTOOLINFOW ti = ToolInfo(owner, id);
  ti.rect = rect;
  SendMessage(TTM_NEWTOOLRECTW, 0, (LPARAM)&ti);
}
