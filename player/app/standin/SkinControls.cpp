#include "player/app/standin/SkinControls.h"

#include "platform/win/Gdi.h"
#include "platform/win/Images.h"
#include "player/common/SkinImages.h"

namespace {
const UINT_PTR kToolId = 1;
}

CSkinButton::~CSkinButton() { delete m_pFace; }

void CSkinButton::PreSubclassWindow() {
  m_hHandCursor = LoadCursorW(nullptr, IDC_HAND);
  if (m_tooltip.Create(m_hWnd)) {
    m_tooltip.SetDelayTime(TTDT_AUTOMATIC, 100);
    m_tooltip.SetMaxTipWidth(200);
    m_tooltip.AddTool(m_hWnd, kToolId, GetClientRect(), L"");
  }
  AddStyle(BS_OWNERDRAW);
}

void CSkinButton::SetSkin(const std::wstring& imagePath, const std::wstring& tooltip, int keepSize) {
  delete m_pFace;
  m_pFace = LoadImageFile(imagePath);
  SetTooltipText(tooltip);
  m_hParent = GetParent();
  if (!keepSize) ResizeToFace();
  Invalidate();
}

void CSkinButton::SetImage(const std::wstring& imagePath) {
  delete m_pFace;
  m_pFace = LoadImageFile(imagePath);
  ResizeToFace();
  Invalidate();
}

void CSkinButton::SetTooltipText(const std::wstring& text) {
  if (m_tooltip.m_hWnd) m_tooltip.UpdateTipText(m_hWnd, kToolId, text);
}

void CSkinButton::ResizeToFace() {
  RECT r = GetRectInParent();
  MoveWindow(r.left, r.top, ImageWidth(m_pFace), ImageHeight(m_pFace), TRUE);
  if (m_tooltip.m_hWnd) m_tooltip.SetToolRect(m_hWnd, kToolId, GetClientRect());
}

bool CSkinButton::PreTranslateMessage(MSG* msg) {
  m_tooltip.RelayEvent(msg);
  return false;
}

LRESULT CSkinButton::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SETCURSOR:
      if (!m_hHandCursor) break;
      SetCursor(m_hHandCursor);
      return TRUE;
    case WM_ERASEBKGND:
      return FALSE;  // the face and its backdrop cover the whole button
  }
  return CButton::WindowProc(msg, wp, lp);
}

bool CSkinButton::DrawItem(DRAWITEMSTRUCT* dis) {
  RECT rc = GetClientRect();
  int cw = rc.right - rc.left, ch = rc.bottom - rc.top;
  int fw = ImageWidth(m_pFace), fh = ImageHeight(m_pFace);
  // Drawn off-screen first: the backdrop and the face reach the screen in one block.
  COffscreenDC off(dis->hDC, cw, ch);
  {
    Gdiplus::Graphics g(off.dc());
    g.SetPageUnit(Gdiplus::UnitPixel);
    if (ch == fh) {
      DrawImagePart(g, g_pImgBackTop, rc.left, rc.top, rc.left, rc.top, fw, fh);
      DrawImageAt(g, m_pFace, 0, 0);
    } else {
      DrawImagePart(g, g_pImgMenu, rc.left - 3, rc.top, rc.left, rc.top, cw, ch);
      DrawImageAt(g, m_pFace, (int)((unsigned)(cw - fw) >> 1), (int)((unsigned)(ch - fh) >> 1));
    }
  }
  off.CopyTo(dis->hDC);
  return true;
}

CTransparentStatic::~CTransparentStatic() { ResetBackground(); }

void CTransparentStatic::ResetBackground() {
  if (m_hBackdrop) DeleteObject(m_hBackdrop);
  m_hBackdrop = nullptr;
}

BOOL CTransparentStatic::EraseBackground(HDC dc) {
  if (!m_hBackdrop) {
    // The first erase only builds the backdrop: the top image at its natural size.
    RECT pr = {};
    ::GetClientRect(GetParent(), &pr);
    HDC mem = CreateCompatibleDC(dc);
    m_hBackdrop = CreateCompatibleBitmap(dc, pr.right > 0 ? pr.right : 1, pr.bottom > 0 ? pr.bottom : 1);
    HGDIOBJ old = SelectObject(mem, m_hBackdrop);
    {
      Gdiplus::Graphics g(mem);
      DrawImageAt(g, g_pImgBackTop, 0, 0);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    return TRUE;
  }
  RECT rc = GetClientRect();
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, m_hBackdrop);
  BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 30, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  return TRUE;
}

LRESULT CTransparentStatic::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return EraseBackground((HDC)wp);
    case WM_SETTEXT: {
      LRESULT r = Default();
      Invalidate(TRUE);  // the backdrop is repainted under the new text
      return r;
    }
  }
  return CStatic::WindowProc(msg, wp, lp);
}

HBRUSH CTransparentStatic::CtlColor(HDC dc, UINT) {
  SetBkMode(dc, TRANSPARENT);
  return (HBRUSH)GetStockObject(NULL_BRUSH);
}
