// The player's main window: a borderless, colour-keyed dialog painted from skin images, and the
// hub every worker thread and secondary window reports to (the messages of player/common/Messages.h).
// It runs modally for the whole life of the process.
#pragma once
#include <windows.h>
#include <gdiplus.h>
#include <shellapi.h>

#include <atomic>
#include <string>

#include "platform/win/Dialog.h"
#include "player/app/standin/AdViews.h"
#include "player/app/standin/PlaylistTree.h"
#include "player/app/standin/SkinControls.h"
#include "player/app/standin/Sliders.h"

class CMusicPlayer;

class CQuenbyDlg : public CDialog {
 public:
  CQuenbyDlg();
  ~CQuenbyDlg() override;

  HICON m_hIcon = nullptr;
  HTREEITEM* m_pCurItem = nullptr;   // the tree's current-song field
  HTREEITEM m_hRootItem = nullptr;   // "默认列表"
  int m_nSongCount = 0;              // number of the next song's label
  NOTIFYICONDATAW m_nid;             // tray icon record
  int m_bInitialised = 0;            // the layout runs only once this is 1
  int m_bShown = 0;                  // 1 = the window may be visible
  CWnd* m_pScrollWnd = nullptr;      // what frames the tree; the layout sizes it
  CPlayProgress m_progress;
  CSkinButton m_btnPrev, m_btnPlay, m_btnNext;
  CPlayVolume m_volume;
  Gdiplus::Image* m_pImgBackBottom = nullptr;
  Gdiplus::Image* m_pImgLogo = nullptr;
  Gdiplus::Image* m_pImgTitle = nullptr;
  Gdiplus::Image* m_pImgVolume = nullptr;
  Gdiplus::Image* m_pImgResizing = nullptr;
  Gdiplus::Image* m_pImgSpilter = nullptr;
  CMyCtreeCtrl m_tree;
  CSkinButton m_btnSetting, m_btnMin, m_btnMax, m_btnClose;
  HBITMAP m_bmpScroll = nullptr;     // bitmap 149, the tree's scroll-bar picture
  CTransparentStatic m_lblStatus;
  RECT m_rcInitial = {};             // client rectangle after the initial sizing: minimum and restore size
  CSkinButton m_btnSkin;
  CTransparentStatic m_lblElapsed, m_lblTotal;
  CMusicPlayer* m_pPlayer = nullptr; // engine of the song being played, or null
  CAd m_ad;
  CSuggest m_suggest;
  CSkinButton m_btnPlayMode;
  CAdHtml m_htmlBanner, m_htmlMain;
  CAppLogoDlg* m_pLogoDlg = nullptr;
  std::atomic<int> m_bExiting{0};    // 1 once the program is leaving; every worker loop ends on it
  HANDLE m_hThreadPopup = nullptr, m_hThreadRequest = nullptr, m_hThreadPlay = nullptr;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange() override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  BOOL OnCommand(WPARAM wp, LPARAM lp) override;
  // Enter and Escape must not end the player behind the back of its workers: they do nothing.
  void OnOK() override {}
  void OnCancel() override {}

  // Construction and initialisation.
  void InitControls();
  void RelayoutControls(int cx, int cy);
  void DrawBackground(HDC dc, int width, int height);
  void InvalidateAll();
  void CreateLogoWindow();
  void CreateWebViews();
  void AddTrayIcon();
  void StartWorkers();
  void StartUpdateCheck();
  void LoadPlaylist();

  // Custom messages (player/common/Messages.h); each returns 0.
  LRESULT OnPlayLength(WPARAM wp, LPARAM lp);
  LRESULT OnPlayPosition(WPARAM wp, LPARAM lp);
  LRESULT OnVolumeChanged(WPARAM wp, LPARAM lp);
  LRESULT OnSeek(WPARAM wp, LPARAM lp);
  LRESULT OnPlayItem(WPARAM wp, LPARAM lp);
  LRESULT OnDeleteItem(WPARAM wp, LPARAM lp);
  LRESULT OnDownloadProgress(WPARAM wp, LPARAM lp);
  LRESULT OnDownloadTotal(WPARAM wp, LPARAM lp);
  LRESULT OnTrackEnded(WPARAM wp, LPARAM lp);
  LRESULT OnPlayRequest(WPARAM wp, LPARAM lp);
  LRESULT OnTrayNotify(WPARAM wp, LPARAM lp);
  LRESULT OnUpdateExit(WPARAM wp, LPARAM lp);
  LRESULT OnSkinChanged(WPARAM wp, LPARAM lp);
  LRESULT OnShowPopup(WPARAM wp, LPARAM lp);

  // Commands.
  void OnBtnPrev();
  void OnBtnPlay();
  void OnBtnNext();
  void OnCloseCommand();
  void OnExitCommand();
  void OnMaxRestore();
  void OnBtnMin();
  void OnBtnSetting();
  void OnBtnSkin();
  void OnBtnPlayMode();
  void OnPlayModeCommand(UINT id);

  // Standard messages.
  void OnSysCommand(WPARAM id, LPARAM lp);
  void OnPaint() override;
  void OnPrintClient(HDC dc);
  BOOL OnEraseBkgnd(HDC dc) override { return FALSE; }
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnTimer(UINT_PTR id) override;
  void OnClose();
  LRESULT OnNcHitTest(int x, int y);
  BOOL OnSetCursor(HWND hwnd, UINT hit, UINT mouseMsg);
  void OnNcLButtonDown(UINT hit, LPARAM point);
  void OnLButtonDown(LPARAM point);
  void OnRButtonDown(LPARAM point);
  void OnLButtonDblClk();
  void OnGetMinMaxInfo(MINMAXINFO* info);
  void OnMove(int x, int y);
  void OnWindowPosChanging(WINDOWPOS* pos);
  BOOL OnCopyData(HWND from, COPYDATASTRUCT* data);

  // The ordered way out: stop every worker (handling what they still send meanwhile), then
  // release what they used, remove the tray icon and end the dialog.
  void ShutdownAndEnd();

 private:
  static DWORD WINAPI PlayDriverThread(LPVOID param);
  static DWORD WINAPI RequestWorkerThread(LPVOID param);
  static DWORD WINAPI PopupAdThread(LPVOID param);
  void CentreOnScreen();
  void ShowAboutBox();

  bool m_bShutDown = false;
};
