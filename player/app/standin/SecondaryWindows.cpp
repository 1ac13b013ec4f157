#include "player/app/standin/SecondaryWindows.h"

#include "platform/win/Gdi.h"
#include "platform/win/Images.h"
#include "player/common/SkinImages.h"

namespace {
const int kTitleStrip = 30;
}  // namespace

bool CSecondaryPanel::CreatePanel(HWND owner, int x, int y, int* openFlag) {
  CreateArgs a;
  a.title = m_title.c_str();
  a.style = WS_POPUP;
  a.exStyle = WS_EX_TOOLWINDOW;
  a.x = x;
  a.y = y;
  a.cx = m_width;
  a.cy = m_height;
  a.parent = owner;
  if (!Create(a)) return false;
  m_pOpenFlag = openFlag;
  return true;
}

LRESULT CSecondaryPanel::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONDOWN) {
    // Dragging from anywhere on the window moves it.
    PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, lp);
  }
  return CWnd::WindowProc(msg, wp, lp);
}

void CSecondaryPanel::OnPaint() {
  CPaintDC paint(m_hWnd);
  RECT rc = GetClientRect();
  COffscreenDC off(paint.dc(), rc.right, rc.bottom);
  FillSolid(off.dc(), rc, RGB(253, 248, 246));
  {
    Gdiplus::Graphics g(off.dc());
    DrawImagePart(g, g_pImgBackTop, 0, 0, 0, 0, rc.right, kTitleStrip);
  }
  HFONT font = CreateFontW(15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FF_SWISS, L"宋体");
  HGDIOBJ oldFont = SelectObject(off.dc(), font);
  SetBkMode(off.dc(), TRANSPARENT);
  SetTextColor(off.dc(), RGB(255, 255, 255));
  RECT title = {10, 0, rc.right - 10, kTitleStrip};
  DrawTextW(off.dc(), m_title.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  SelectObject(off.dc(), oldFont);
  DeleteObject(font);
  // A thin frame in the title's colour keeps the window apart from the main window beneath.
  HBRUSH frame = CreateSolidBrush(RGB(200, 110, 114));
  FrameRect(off.dc(), &rc, frame);
  DeleteObject(frame);
  off.CopyTo(paint.dc());
}

void CSecondaryPanel::PostNcDestroy() {
  if (m_pOpenFlag) *m_pOpenFlag = 0;
  delete this;
}
