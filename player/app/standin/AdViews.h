// The main window's web views, text-advertisement strip, feedback link and logo window, kept to
// what the main window's layout and routing need: windows of the right ids, sizes and places.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <string>

#include "platform/win/Controls.h"

// A web view in place of a placeholder control. Until the browser is hosted it shows an empty page.
class CAdHtml : public CWnd {
 public:
  // Replaces the dialog's placeholder control `id` by this view (same id, WS_CHILD | WS_VISIBLE,
  // `rect` in the parent's client coordinates). False when there is no such placeholder.
  bool CreateFromStatic(UINT id, HWND parent, const RECT& rect, bool scrollBars);
  void Navigate(const std::wstring& url) { m_strUrl = url; }
  // An empty view shows its parent's background instead of a white page.
  void SetSeeThroughWhileEmpty(bool seeThrough) { m_bSeeThrough = seeThrough; }
  const std::wstring& Url() const { return m_strUrl; }
  void StartRotation() {}

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnPaint() override;
  BOOL OnEraseBkgnd(HDC) override { return TRUE; }

 private:
  std::wstring m_strUrl;
  bool m_bSeeThrough = false;
};

// The text-advertisement strip (control 1020).
class CAd : public CStatic {
 public:
  void Start() {}
  void ResetBackground() {}
};

// The feedback link (control 1021): its icon and text on the window's bottom strip.
class CSuggest : public CStatic {
 public:
  ~CSuggest() override;
  void Start();
  void ResetBackground() {}

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void Paint();
  Gdiplus::Image* m_pIcon = nullptr;
  HFONT m_hFont = nullptr;
  int m_nTop = 0;
};

// The logo picture floating over the main window's top-left corner: a layered window owned by the
// main window. Clicks go through it to the main window.
class CAppLogoDlg : public CWnd {
 public:
  explicit CAppLogoDlg(const std::wstring& picturePath);
  ~CAppLogoDlg() override;
  bool Create(HWND owner);

 private:
  void UpdateLayer();
  void OnPaint() override;
  BOOL OnEraseBkgnd(HDC) override { return TRUE; }
  Gdiplus::Image* m_pImage;
  HBITMAP m_hPicture = nullptr;  // the picture laid out for the colour key
};
