// Small GDI helpers for painting.
#pragma once
#include <windows.h>

// BeginPaint / EndPaint for the life of the object.
class CPaintDC {
 public:
  explicit CPaintDC(HWND hwnd) : m_hwnd(hwnd) { m_dc = BeginPaint(hwnd, &m_ps); }
  ~CPaintDC() { EndPaint(m_hwnd, &m_ps); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  HDC dc() const { return m_dc; }
  const PAINTSTRUCT& ps() const { return m_ps; }

 private:
  HWND m_hwnd;
  HDC m_dc;
  PAINTSTRUCT m_ps;
};

// A memory DC with a bitmap compatible with `target`, of the given size: draw into dc(), then
// CopyTo(target) puts it on the screen in one block (no flicker).
class COffscreenDC {
 public:
  COffscreenDC(HDC target, int width, int height)
      : m_width(width > 0 ? width : 1), m_height(height > 0 ? height : 1) {
    m_dc = CreateCompatibleDC(target);
    m_bitmap = CreateCompatibleBitmap(target, m_width, m_height);
    m_old = SelectObject(m_dc, m_bitmap);
  }
  ~COffscreenDC() {
    SelectObject(m_dc, m_old);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
  }
  COffscreenDC(const COffscreenDC&) = delete;
  COffscreenDC& operator=(const COffscreenDC&) = delete;
  HDC dc() const { return m_dc; }
  int width() const { return m_width; }
  int height() const { return m_height; }
  void CopyTo(HDC target, int x = 0, int y = 0) const { BitBlt(target, x, y, m_width, m_height, m_dc, 0, 0, SRCCOPY); }

 private:
  int m_width, m_height;
  HDC m_dc;
  HBITMAP m_bitmap;
  HGDIOBJ m_old;
};

inline void FillSolid(HDC dc, const RECT& r, COLORREF colour) {
  HBRUSH b = CreateSolidBrush(colour);
  FillRect(dc, &r, b);
  DeleteObject(b);
}
