// Image buttons and transparent labels of the main window, kept to what the main window needs:
// a button painted from its skin face with a hand cursor and a tooltip, and a label whose text
// sits on a piece of the top image. The toolkit's full controls replace these.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <string>

#include "platform/win/Controls.h"

class CSkinButton : public CButton {
 public:
  CSkinButton() = default;
  ~CSkinButton() override;

  // Loads the face, sets the tooltip and, unless keepSize, takes the face's size (top-left kept).
  void SetSkin(const std::wstring& imagePath, const std::wstring& tooltip, int keepSize);
  // Replaces the face and always takes its size.
  void SetImage(const std::wstring& imagePath);
  void SetTooltipText(const std::wstring& text);

  bool PreTranslateMessage(MSG* msg) override;

 protected:
  void PreSubclassWindow() override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool DrawItem(DRAWITEMSTRUCT* dis) override;

 private:
  void ResizeToFace();

  HWND m_hParent = nullptr;
  CToolTipCtrl m_tooltip;
  HCURSOR m_hHandCursor = nullptr;
  Gdiplus::Image* m_pFace = nullptr;
};

class CTransparentStatic : public CStatic {
 public:
  ~CTransparentStatic() override;
  // Drops the cached backdrop; the next erase builds it again from the current top image.
  void ResetBackground();

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  HBRUSH CtlColor(HDC dc, UINT ctlType) override;

 private:
  BOOL EraseBackground(HDC dc);
  HBITMAP m_hBackdrop = nullptr;
};
