#include "player/app/standin/Sliders.h"

#include "platform/win/Gdi.h"
#include "platform/win/Images.h"
#include "player/common/SkinImages.h"
#include "player/ui/SkinMgr.h"

CPlayProgress::~CPlayProgress() {
  delete m_pForeground;
  delete m_pBackground;
  delete m_pDownload;
}

void CPlayProgress::LoadImages(const std::wstring& background, const std::wstring& foreground) {
  delete m_pForeground;
  delete m_pBackground;
  m_pForeground = LoadImageFile(foreground);
  m_pBackground = LoadImageFile(background);
}

void CPlayProgress::SetSkin(const std::wstring& background, const std::wstring& foreground, const std::wstring&,
                            const std::wstring&) {
  LoadImages(background, foreground);
  delete m_pDownload;
  m_pDownload = LoadImageFile(SkinMgr::GetInstance().GetImagePath(L"download"));
  m_nMin = 1;
  m_nMax = 1000;
  m_nPos = m_nMin;
  RECT r = GetRectInParent();
  MoveWindow(r.left, r.top, ImageWidth(m_pBackground), ImageHeight(m_pBackground), TRUE);
}

void CPlayProgress::SetRange(int minimum, int maximum) {
  m_nMin = minimum;
  m_nMax = maximum;
  if (minimum == 0 && maximum == 0) m_nDownloadWidth = m_nDownloadTotal = 0;
  Invalidate();
}

void CPlayProgress::SetPos(int value) {
  m_nPos = value;
  Invalidate();
}

void CPlayProgress::SetDownloadTotal(int bytes) {
  m_nDownloadTotal = bytes;
  Invalidate();
}

void CPlayProgress::SetDownloadProgress(int bytes) {
  m_nDownloadWidth = m_nDownloadTotal > 0 ? (int)((long long)ImageWidth(m_pBackground) * bytes / m_nDownloadTotal) : 0;
  Invalidate();
}

LRESULT CPlayProgress::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) return TRUE;
  return CButton::WindowProc(msg, wp, lp);
}

bool CPlayProgress::DrawItem(DRAWITEMSTRUCT* dis) {
  RECT rc = GetClientRect();
  COffscreenDC off(dis->hDC, rc.right, rc.bottom);
  Paint(off.dc(), rc.right, rc.bottom);
  off.CopyTo(dis->hDC);
  return true;
}

void CPlayProgress::Paint(HDC dc, int w, int h) {
  int range = m_nMax - m_nMin;
  int fill = range > 0 ? (int)((double)w / range * (m_nPos - m_nMin)) : 0;
  if (fill < 0) fill = 0;
  Gdiplus::Graphics g(dc);
  DrawImagePart(g, g_pImgBackTop, 0, 0, 0, 0, w, h);
  DrawImageAt(g, m_pBackground, 0, 0);
  DrawImagePart(g, m_pDownload, 0, 0, 0, 0, m_nDownloadWidth, ImageHeight(m_pBackground));
  DrawImagePart(g, m_pForeground, 0, 0, 0, 0, fill, ImageHeight(m_pForeground));
}

void CPlayVolume::SetSkin(const std::wstring& background, const std::wstring& foreground, const std::wstring&,
                          const std::wstring&) {
  LoadImages(background, foreground);
  m_nMin = 0;
  m_nMax = 100;
  m_nPos = 80;
  Invalidate();
}

void CPlayVolume::Paint(HDC dc, int w, int h) {
  int fill = m_nMax > 0 ? (int)((double)w / m_nMax * m_nPos) : 0;
  if (fill < 0) fill = 0;
  Gdiplus::Graphics g(dc);
  DrawImagePart(g, g_pImgBackTop, 0, 0, 0, 0, w, h);
  DrawImageAt(g, m_pBackground, 0, 0);
  DrawImagePart(g, m_pForeground, 0, 0, 0, 0, fill, ImageHeight(m_pForeground));
}
