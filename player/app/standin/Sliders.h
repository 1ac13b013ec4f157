// The progress bar and the volume slider of the main window, kept to what the main window needs:
// owner-drawn buttons painted from their track and fill images, with a position and a range.
// Mouse seeking and the download display come with the playback controls.
#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <string>

#include "platform/win/Controls.h"

class CPlayProgress : public CButton {
 public:
  ~CPlayProgress() override;
  virtual void SetSkin(const std::wstring& background, const std::wstring& foreground, const std::wstring& third,
                       const std::wstring& tooltip);
  void SetRange(int minimum, int maximum);
  void SetPos(int value);
  int GetPos() const { return m_nPos; }
  void SetPosQuiet(int value) { m_nPos = value; }
  void SetDownloadTotal(int bytes);
  void SetDownloadProgress(int bytes);

 protected:
  void PreSubclassWindow() override { AddStyle(BS_OWNERDRAW); }
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool DrawItem(DRAWITEMSTRUCT* dis) override;
  virtual void Paint(HDC dc, int width, int height);
  void LoadImages(const std::wstring& background, const std::wstring& foreground);

  int m_nPos = 1;
  int m_nMax = 1000;
  int m_nMin = 1;
  int m_nDownloadWidth = 0;
  int m_nDownloadTotal = 0;
  Gdiplus::Image* m_pForeground = nullptr;
  Gdiplus::Image* m_pBackground = nullptr;
  Gdiplus::Image* m_pDownload = nullptr;
};

class CPlayVolume : public CPlayProgress {
 public:
  CPlayVolume() {
    m_nMin = 0;
    m_nMax = 100;
    m_nPos = 80;
  }
  void SetSkin(const std::wstring& background, const std::wstring& foreground, const std::wstring& third,
               const std::wstring& tooltip) override;

 protected:
  void Paint(HDC dc, int width, int height) override;
};
