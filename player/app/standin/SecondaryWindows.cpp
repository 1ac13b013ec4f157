#include "player/app/standin/SecondaryWindows.h"

#include "platform/win/Gdi.h"
#include "platform/win/Images.h"
#include "player/common/SkinImages.h"

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
  FillSolid(off.dc(), rc, RGB(255, 255, 255));
  {
    Gdiplus::Graphics g(off.dc());
    DrawImagePart(g, g_pImgBackTop, 0, 0, 0, 0, rc.right, 30);
    Gdiplus::FontFamily family(L"Microsoft YaHei");
    Gdiplus::Font font(&family, 15, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
    g.DrawString(m_title.c_str(), -1, &font, Gdiplus::PointF(10, 6), &white);
  }
  off.CopyTo(paint.dc());
}

void CSecondaryPanel::PostNcDestroy() {
  if (m_pOpenFlag) *m_pOpenFlag = 0;
  delete this;
}
