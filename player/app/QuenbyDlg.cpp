#include "player/app/QuenbyDlg.h"

#include <windowsx.h>

#include "platform/win/Gdi.h"
#include "platform/win/Images.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Thread.h"
#include "player/app/MainLayout.h"
#include "player/app/res/resource.h"
#include "player/app/standin/SecondaryWindows.h"
#include "player/common/Globals.h"
#include "player/common/Messages.h"
#include "player/common/SkinImages.h"
#include "player/common/Trace.h"
#include "player/library/MusicListDB.h"
#include "player/online/ServiceHosts.h"
#include "player/playback/MusicPlayer.h"
#include "player/ui/SkinMgr.h"

namespace {

// Every pixel painted in this colour is transparent and lets clicks through: the top strip.
const COLORREF kColourKey = RGB(255, 255, 254);
const wchar_t kWindowTitle[] = L"Morvanel";

const UINT_PTR kTimerEnableNext = 1;
const UINT_PTR kTimerEnablePrev = 2;
const UINT_PTR kTimerClearTimes = 3;
const UINT_PTR kTimerShutdown = 100;

// The settings window and the skin chooser: each a toggle, open while its flag is set.
int g_bSettingOpen = 0;
CSetting* g_pSetting = nullptr;
int g_bSkinDlgOpen = 0;
CSkinDlg* g_pSkinDlg = nullptr;

int RectWidth(const RECT& r) { return r.right - r.left; }
int RectHeight(const RECT& r) { return r.bottom - r.top; }

RECT WorkArea() {
  RECT wa = {};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0)) {
    wa.right = GetSystemMetrics(SM_CXSCREEN);
    wa.bottom = GetSystemMetrics(SM_CYSCREEN);
  }
  return wa;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

CQuenbyDlg::CQuenbyDlg() : CDialog(IDD_QUENBY_DIALOG, nullptr) {
  m_bShown = g_bShowAtStart;
  ZeroMemory(&m_nid, sizeof m_nid);
  m_hIcon = LoadIconW(AppInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));

  struct Pair {
    Gdiplus::Image** variable;
    const wchar_t* name;
  };
  const Pair pairs[] = {{&g_pImgBackTop, L"backtop"},     {&m_pImgBackBottom, L"backbottomu"},
                        {&m_pImgLogo, L"logo"},           {&m_pImgTitle, L"title"},
                        {&g_pImgMenu, L"menu"},           {&m_pImgVolume, L"volume"},
                        {&m_pImgResizing, L"resizing"},   {&m_pImgSpilter, L"spilter"}};
  // The first call creates the skin manager and, through it, the database.
  SkinMgr& skins = SkinMgr::GetInstance();
  for (const Pair& p : pairs) {
    delete *p.variable;
    *p.variable = LoadImageFile(skins.GetImagePath(p.name));
  }
  // A new skin replaces these images in place before WM_SKIN_CHANGED arrives.
  for (const Pair& p : pairs) skins.RegisterImage(p.variable, p.name);
  CMusicListDB::GetInstance();
}

CQuenbyDlg::~CQuenbyDlg() {
  Gdiplus::Image** images[] = {&g_pImgBackTop, &m_pImgBackBottom, &m_pImgLogo,     &m_pImgTitle,
                               &g_pImgMenu,    &m_pImgVolume,     &m_pImgResizing, &m_pImgSpilter};
  for (Gdiplus::Image** image : images) {
    // After the shutdown the skin manager is gone; otherwise it must forget these variables.
    if (!m_bShutDown) SkinMgr::GetInstance().UnregisterImage(image);
    delete *image;
    *image = nullptr;
  }
  delete m_pLogoDlg;
  if (m_bmpScroll) DeleteObject(m_bmpScroll);
  if (g_hMainWnd && !IsWindow(g_hMainWnd)) g_hMainWnd = nullptr;
}

void CQuenbyDlg::DoDataExchange() {
  DdxControl(IDC_PLAY_PROGRESS, m_progress);
  DdxControl(IDC_BTN_PREV, m_btnPrev);
  DdxControl(IDC_BTN_PLAY, m_btnPlay);
  DdxControl(IDC_BTN_NEXT, m_btnNext);
  DdxControl(IDC_PLAY_VOLUME, m_volume);
  DdxControl(IDC_MUSIC_TREE, m_tree);
  DdxControl(IDC_BTN_SETTING, m_btnSetting);
  DdxControl(IDC_BTN_MIN, m_btnMin);
  DdxControl(IDC_BTN_MAX, m_btnMax);
  DdxControl(IDC_BTN_CLOSE, m_btnClose);
  DdxControl(IDC_LBL_STATUS, m_lblStatus);
  DdxControl(IDC_BTN_SKIN, m_btnSkin);
  DdxControl(IDC_LBL_ELAPSED, m_lblElapsed);
  DdxControl(IDC_LBL_TOTAL, m_lblTotal);
  DdxControl(IDC_AD_TEXT, m_ad);
  DdxControl(IDC_SUGGEST, m_suggest);
  DdxControl(IDC_BTN_PLAYMODE, m_btnPlayMode);
}

BOOL CQuenbyDlg::OnInitDialog() {
  DebugLine(L"-------------40------------------");
  CDialog::OnInitDialog();
  if (HMENU sysMenu = GetSystemMenu(m_hWnd, FALSE)) {
    wchar_t about[128] = {};
    if (LoadStringW(AppInstance(), IDS_ABOUTBOX, about, 128) > 0) {
      AppendMenuW(sysMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
    }
  }

  SendMessage(WM_SETICON, ICON_BIG, (LPARAM)m_hIcon);
  SendMessage(WM_SETICON, ICON_SMALL, (LPARAM)m_hIcon);
  DebugLine(L"-------------4-1-----------------");

  SetWindowLongW(m_hWnd, GWL_STYLE, GetWindowLongW(m_hWnd, GWL_STYLE) | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU);
  SetWindowLongW(m_hWnd, GWL_EXSTYLE, GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(m_hWnd, kColourKey, 0, LWA_COLORKEY);
  DebugLine(L"-------------5------------------");

  CreateLogoWindow();
  SetWindowText(kWindowTitle);

  // The window takes the size of the skin's background plus the transparent strip. Without a
  // background image it keeps the template's size rather than shrinking to nothing.
  int backWidth = ImageWidth(g_pImgBackTop), backHeight = ImageHeight(g_pImgBackTop);
  if (backWidth > 0 && backHeight > 0)
    SetWindowPos(nullptr, 0, 0, backWidth, backHeight + layout::kTopStrip, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  m_bmpScroll = LoadBitmapW(AppInstance(), MAKEINTRESOURCEW(IDB_SCROLLBAR));
  m_pScrollWnd = &m_tree;

  InitControls();
  LoadPlaylist();
  DebugLine(L"-------------6------------------");

  CreateWebViews();
  m_ad.Start();
  m_suggest.Start();
  m_rcInitial = GetClientRect();

  AddTrayIcon();
  DebugLine(L"-------------7------------------");

  m_volume.SetPosQuiet(CMusicListDB::GetInstance().GetVolume());
  StartWorkers();
  if (ConfigInt(g_Config.AutoUpdate) == 1) StartUpdateCheck();
  DebugLine(L"-------------8------------------");

  if (ConfigInt(g_Config.AutoPlay) == 1)
    OnBtnPlay();
  else
    SetTimer(kTimerClearTimes, 20);
  m_bInitialised = 1;
  DebugLine(L"-------------9------------------");
  // Maximised and back: the first real layout, the initial size, centred.
  OnMaxRestore();
  OnMaxRestore();

  g_hMainWnd = m_hWnd;
  return TRUE;
}

void CQuenbyDlg::CreateLogoWindow() {
  RECT r = GetWindowRect();
  m_pLogoDlg = new CAppLogoDlg(GetAppFolder() + L"\\logo.png");
  if (!m_pLogoDlg->Create(m_hWnd)) return;
  m_pLogoDlg->SetWindowPos(nullptr, r.left + 5, r.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  m_pLogoDlg->ShowWindow(m_bShown ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void CQuenbyDlg::InitControls() {
  SkinMgr& skins = SkinMgr::GetInstance();
  const std::wstring range = skins.GetImagePath(L"playrange"), thumb = skins.GetImagePath(L"playpostion");
  m_progress.SetSkin(range, thumb, thumb, L"调整歌曲进度");
  m_volume.SetSkin(range, thumb, thumb, L"调节音量");
  struct Button {
    CSkinButton& button;
    const wchar_t* image;
    const wchar_t* tooltip;
  };
  const Button buttons[] = {
      {m_btnPrev, L"playprev", L"上一曲"}, {m_btnPlay, L"play", L"播放"},   {m_btnNext, L"playnext", L"下一曲"},
      {m_btnSetting, L"setting", L"设置"}, {m_btnMin, L"min", L"最小化"},  {m_btnMax, L"max", L"最大化"},
      {m_btnClose, L"close", L"关闭"},     {m_btnSkin, L"skin", L"皮肤与界面调整"},
  };
  for (const Button& b : buttons) b.button.SetSkin(skins.GetImagePath(b.image), b.tooltip, 0);
  m_btnPlayMode.SetSkin(skins.GetImagePath(L"sxbf"), L"顺序播放", 0);
}

void CQuenbyDlg::CreateWebViews() {
  // Both views are put in their real places by the first layout; until then they cover their
  // placeholders (in client coordinates).
  if (HWND banner = GetDlgItem(IDC_BANNER_VIEW)) {
    RECT r = {};
    ::GetWindowRect(banner, &r);
    MapWindowPoints(nullptr, m_hWnd, (POINT*)&r, 2);
    RECT rect = {r.left, r.top, r.left + layout::kBannerWidth, r.top + layout::kBannerHeight};
    if (m_htmlBanner.CreateFromStatic(IDC_BANNER_VIEW, m_hWnd, rect, false)) {
      m_htmlBanner.SetSeeThroughWhileEmpty(true);
      m_htmlBanner.Navigate(GetAppFolder() + L"\\AD\\default.htm");
    }
  }
  if (HWND main = GetDlgItem(IDC_MAIN_VIEW)) {
    RECT r = {};
    ::GetWindowRect(main, &r);
    MapWindowPoints(nullptr, m_hWnd, (POINT*)&r, 2);
    if (m_htmlMain.CreateFromStatic(IDC_MAIN_VIEW, m_hWnd, r, true)) m_htmlMain.Navigate(ApiUrl(kIndexPath));
  }
  m_htmlBanner.StartRotation();
}

void CQuenbyDlg::AddTrayIcon() {
  ZeroMemory(&m_nid, sizeof m_nid);
  // The record's size is that of this build's structure (956 bytes in the 32-bit program).
  m_nid.cbSize = sizeof m_nid;
  m_nid.hWnd = m_hWnd;
  m_nid.uID = IDR_TRAY_MENU;
  m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
  m_nid.uCallbackMessage = WM_TRAY_NOTIFY;
  m_nid.hIcon = m_hIcon;
  wcscpy_s(m_nid.szTip, kWindowTitle);
  m_nid.uTimeout = 3000;
  wcscpy_s(m_nid.szInfoTitle, kWindowTitle);
  m_nid.dwInfoFlags = NIIF_INFO;
  Shell_NotifyIconW(NIM_ADD, &m_nid);
}

void CQuenbyDlg::StartWorkers() {
  m_hThreadPlay = StartThread(PlayDriverThread, this, L"play driver");
  m_hThreadRequest = StartThread(RequestWorkerThread, this, L"request worker");
  m_hThreadPopup = StartThread(PopupAdThread, this, L"popup advertisement");
}

DWORD WINAPI CQuenbyDlg::PlayDriverThread(LPVOID param) {
  CQuenbyDlg* dlg = static_cast<CQuenbyDlg*>(param);
  while (!dlg->m_bExiting) {
    Sleep(50);
    // Here the current song is started when a start was requested.
  }
  return 0;
}

DWORD WINAPI CQuenbyDlg::RequestWorkerThread(LPVOID param) {
  CQuenbyDlg* dlg = static_cast<CQuenbyDlg*>(param);
  while (!dlg->m_bExiting) {
    Sleep(100);
    // Here the play requests of web pages are handled one after another.
  }
  return 0;
}

DWORD WINAPI CQuenbyDlg::PopupAdThread(LPVOID param) {
  CQuenbyDlg* dlg = static_cast<CQuenbyDlg*>(param);
  while (!dlg->m_bExiting) {
    Sleep(100);
    // Here the popup advertisement is fetched when it is due.
  }
  return 0;
}

void CQuenbyDlg::StartUpdateCheck() {}

void CQuenbyDlg::LoadPlaylist() { m_pCurItem = &m_tree.m_hCurItem; }

// ---------------------------------------------------------------------------------------------
// The message map

LRESULT CQuenbyDlg::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PLAY_LENGTH: return OnPlayLength(wp, lp);
    case WM_PLAY_POSITION: return OnPlayPosition(wp, lp);
    case WM_VOLUME_CHANGED: return OnVolumeChanged(wp, lp);
    case WM_SEEK: return OnSeek(wp, lp);
    case WM_PLAY_ITEM: return OnPlayItem(wp, lp);
    case WM_DELETE_ITEM: return OnDeleteItem(wp, lp);
    case WM_DOWNLOAD_PROGRESS: return OnDownloadProgress(wp, lp);
    case WM_DOWNLOAD_TOTAL: return OnDownloadTotal(wp, lp);
    case WM_TRACK_ENDED: return OnTrackEnded(wp, lp);
    case WM_PLAY_REQUEST: return OnPlayRequest(wp, lp);
    case WM_TRAY_NOTIFY: return OnTrayNotify(wp, lp);
    case WM_UPDATE_EXIT: return OnUpdateExit(wp, lp);
    case WM_SKIN_CHANGED: return OnSkinChanged(wp, lp);
    case WM_SHOW_POPUP: return OnShowPopup(wp, lp);

    case WM_SYSCOMMAND: OnSysCommand(wp, lp); return 0;
    case WM_QUERYDRAGICON: return (LRESULT)m_hIcon;
    case WM_LBUTTONDOWN: OnLButtonDown(lp); return 0;
    case WM_NCLBUTTONDOWN: OnNcLButtonDown((UINT)wp, lp); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_THEMECHANGED: return 1;
    case WM_COPYDATA: return OnCopyData((HWND)wp, reinterpret_cast<COPYDATASTRUCT*>(lp));
    case WM_SETCURSOR: return OnSetCursor((HWND)wp, LOWORD(lp), HIWORD(lp));
    case WM_NCHITTEST: return OnNcHitTest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(); return 0;
    case WM_RBUTTONDOWN: OnRButtonDown(lp); return 0;
    case WM_GETMINMAXINFO: OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp)); return 0;
    case WM_MOVE: OnMove((short)LOWORD(lp), (short)HIWORD(lp)); return 0;
    case WM_WINDOWPOSCHANGING: OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lp)); return 0;
    case WM_PRINTCLIENT: OnPrintClient((HDC)wp); return 0;
  }
  return CDialog::WindowProc(msg, wp, lp);
}

BOOL CQuenbyDlg::OnCommand(WPARAM wp, LPARAM lp) {
  switch (LOWORD(wp)) {
    case IDC_BTN_PREV: OnBtnPrev(); return TRUE;
    case IDC_BTN_PLAY: OnBtnPlay(); return TRUE;
    case IDC_BTN_NEXT: OnBtnNext(); return TRUE;
    case IDC_BTN_CLOSE: OnCloseCommand(); return TRUE;
    case IDC_BTN_MAX: OnMaxRestore(); return TRUE;
    case IDC_BTN_MIN: OnBtnMin(); return TRUE;
    case IDC_BTN_SETTING: OnBtnSetting(); return TRUE;
    case IDC_BTN_SKIN: OnBtnSkin(); return TRUE;
    case IDC_BTN_PLAYMODE: OnBtnPlayMode(); return TRUE;
    case ID_TRAY_SETTING: OnBtnSetting(); return TRUE;
    case ID_TRAY_EXIT: OnExitCommand(); return TRUE;
    case ID_MODE_REPEAT_ONE:
    case ID_MODE_IN_ORDER:
    case ID_MODE_REPEAT_LIST:
    case ID_MODE_RANDOM: OnPlayModeCommand(LOWORD(wp)); return TRUE;
  }
  return CDialog::OnCommand(wp, lp);
}

// ---------------------------------------------------------------------------------------------
// Messages and commands of playback, play requests and the tray. Their work is done by the
// playback control, the play-request path and the tray icon; here they are only routed.

LRESULT CQuenbyDlg::OnPlayLength(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnPlayPosition(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnVolumeChanged(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnSeek(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnPlayItem(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnDeleteItem(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnTrackEnded(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnPlayRequest(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnTrayNotify(WPARAM, LPARAM) { return 0; }
LRESULT CQuenbyDlg::OnShowPopup(WPARAM, LPARAM) { return 0; }
BOOL CQuenbyDlg::OnCopyData(HWND, COPYDATASTRUCT*) { return TRUE; }
void CQuenbyDlg::OnBtnPrev() {}
void CQuenbyDlg::OnBtnPlay() {}
void CQuenbyDlg::OnBtnNext() {}
void CQuenbyDlg::OnBtnPlayMode() {}
void CQuenbyDlg::OnPlayModeCommand(UINT) {}

LRESULT CQuenbyDlg::OnDownloadProgress(WPARAM wp, LPARAM) {
  m_progress.SetDownloadProgress((int)wp);
  return 0;
}

LRESULT CQuenbyDlg::OnDownloadTotal(WPARAM wp, LPARAM) {
  m_progress.SetDownloadTotal((int)wp);
  return 0;
}

LRESULT CQuenbyDlg::OnUpdateExit(WPARAM, LPARAM) {
  m_bExiting = 1;
  OnCloseCommand();
  return 0;
}

// Until the tray icon can bring a hidden window back, the close command ends the program.
void CQuenbyDlg::OnCloseCommand() { ShutdownAndEnd(); }

void CQuenbyDlg::OnExitCommand() { ShutdownAndEnd(); }

void CQuenbyDlg::OnClose() { ShutdownAndEnd(); }

void CQuenbyDlg::ShutdownAndEnd() {
  if (m_bShutDown) return;
  m_bShutDown = true;
  m_bExiting = 1;
  // The workers see the flag within 50 to 100 ms; one may be inside a step that sends to this
  // window, so what they send is handled while we wait for them.
  HANDLE workers[] = {m_hThreadPopup, m_hThreadRequest, m_hThreadPlay};
  WaitForHandlesDispatchingSent(workers, 3, INFINITE);
  for (HANDLE* h : {&m_hThreadPopup, &m_hThreadRequest, &m_hThreadPlay}) {
    if (*h) CloseHandle(*h);
    *h = nullptr;
  }

  if (m_pPlayer) {
    m_pPlayer->safeExit();
    Sleep(100);
  }
  CMusicListDB::GetInstance().SetVolume(m_volume.GetPos());
  CMusicListDB::ReleaseInstance();
  SkinMgr::ReleaseInstance();
  DeleteFileW(g_strTempMusicPath.c_str());
  Shell_NotifyIconW(NIM_DELETE, &m_nid);
  EndDialog(IDCANCEL);
}

// ---------------------------------------------------------------------------------------------
// Window commands

void CQuenbyDlg::OnMaxRestore() {
  RECT wa = WorkArea();
  RECT cr = GetClientRect();
  if (layout::CountsAsMaximised(RectWidth(cr), RectHeight(cr), RectWidth(wa), RectHeight(wa))) {
    SetWindowPos(HWND_TOP, 0, 0, RectWidth(m_rcInitial), RectHeight(m_rcInitial), 0);
    CentreOnScreen();
  } else {
    // The transparent strip goes above the screen's top edge; the painted part fills the work area.
    SetWindowPos(HWND_TOP, wa.left, wa.top - layout::kTopStrip, RectWidth(wa), RectHeight(wa) + layout::kTopStrip, 0);
  }
}

void CQuenbyDlg::CentreOnScreen() {
  RECT wa = WorkArea();
  RECT wr = GetWindowRect();
  int x = 0, y = 0;
  layout::CentreIn({wa.left, wa.top, wa.right, wa.bottom}, RectWidth(wr), RectHeight(wr), &x, &y);
  SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQuenbyDlg::OnBtnMin() { SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void CQuenbyDlg::OnBtnSetting() {
  if (g_bSettingOpen) {
    if (g_pSetting && IsWindow(g_pSetting->m_hWnd)) g_pSetting->SendMessage(WM_CLOSE);
    return;
  }
  g_pSetting = new CSetting();
  RECT wr = GetWindowRect();
  if (!g_pSetting->CreatePanel(m_hWnd, wr.left + 200, wr.top + 120, &g_bSettingOpen)) {
    delete g_pSetting;
    g_pSetting = nullptr;
    return;
  }
  g_pSetting->ShowWindow(SW_SHOW);
  g_bSettingOpen = 1;
}

void CQuenbyDlg::OnBtnSkin() {
  if (g_bSkinDlgOpen) {
    if (g_pSkinDlg && IsWindow(g_pSkinDlg->m_hWnd)) g_pSkinDlg->SendMessage(WM_CLOSE);
    return;
  }
  g_pSkinDlg = new CSkinDlg();
  // The chooser places itself by the skin button.
  RECT button = m_btnSkin.GetWindowRect();
  if (!g_pSkinDlg->CreatePanel(m_hWnd, button.left, button.bottom, &g_bSkinDlgOpen)) {
    delete g_pSkinDlg;
    g_pSkinDlg = nullptr;
    return;
  }
  g_pSkinDlg->ShowWindow(SW_SHOW);
  g_bSkinDlgOpen = 1;
}

void CQuenbyDlg::ShowAboutBox() {
  // A message box is a "#32770" window too: its title must not be the main window's.
  MessageBoxW(m_hWnd, L"Quenby，1.0 版", L"关于 Quenby", MB_OK | MB_ICONINFORMATION);
}

// ---------------------------------------------------------------------------------------------
// Standard messages

void CQuenbyDlg::OnSysCommand(WPARAM id, LPARAM lp) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    ShowAboutBox();
  } else if ((id & 0xFFF0) == SC_MAXIMIZE) {
    OnMaxRestore();
  } else if ((id & 0xFFF0) == SC_CLOSE) {
    OnCloseCommand();
  } else {
    Default();
  }
}

LRESULT CQuenbyDlg::OnSkinChanged(WPARAM, LPARAM) {
  InvalidateAll();
  m_htmlBanner.UpdateWindow();
  m_htmlMain.UpdateWindow();
  for (CTransparentStatic* label : {&m_lblElapsed, &m_lblTotal, &m_lblStatus}) {
    label->ResetBackground();
    label->Invalidate(TRUE);
  }
  m_ad.ResetBackground();
  m_ad.Invalidate(TRUE);
  m_suggest.ResetBackground();
  m_suggest.Invalidate(TRUE);
  return 0;
}

void CQuenbyDlg::OnPaint() {
  if (IsIconic(m_hWnd)) {
    CPaintDC paint(m_hWnd);
    RECT rc = GetClientRect();
    int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
    DrawIcon(paint.dc(), (rc.right - cx + 1) / 2, (rc.bottom - cy + 1) / 2, m_hIcon);
    return;
  }
  CPaintDC paint(m_hWnd);
  RECT rc = GetClientRect();
  // One off-screen bitmap and one block copy: no flicker while the window is resized.
  COffscreenDC off(paint.dc(), rc.right, rc.bottom);
  DrawBackground(off.dc(), rc.right, rc.bottom);
  off.CopyTo(paint.dc());
}

void CQuenbyDlg::OnPrintClient(HDC dc) {
  // Children that show the window's background through themselves ask for it this way.
  RECT rc = GetClientRect();
  DrawBackground(dc, rc.right, rc.bottom);
}

void CQuenbyDlg::DrawBackground(HDC dc, int width, int height) {
  FillSolid(dc, {0, 0, width, layout::kTopStrip}, kColourKey);
  FillSolid(dc, {0, layout::kTopStrip, width, height}, RGB(255, 255, 255));
  Gdiplus::Graphics g(dc);
  g.SetPageUnit(Gdiplus::UnitPixel);
  DrawImageStretched(g, g_pImgBackTop, 0, layout::kTopStrip, width, height);
  DrawImageAt(g, m_pImgTitle, ImageWidth(m_pImgLogo) + 12, 35);

  const int bottomWidth = ImageWidth(m_pImgBackBottom), bottomHeight = ImageHeight(m_pImgBackBottom);
  // A bottom image without width (missing from the skin) is simply not tiled.
  for (int x = 0; bottomWidth > 0 && x < width; x += bottomWidth)
    DrawImageAt(g, m_pImgBackBottom, x, height - bottomHeight);

  DrawImageAt(g, g_pImgMenu, width - ImageWidth(g_pImgMenu) - 5, layout::kTopStrip);
  DrawImageAt(g, m_pImgResizing, width - ImageWidth(m_pImgResizing), height - ImageHeight(m_pImgResizing));

  if (m_btnNext.m_hWnd) {
    RECT next = m_btnNext.GetRectInParent();
    DrawImageAt(g, m_pImgVolume, next.right, next.top + (RectHeight(next) - ImageHeight(m_pImgVolume)) / 2);
  }
  for (CSkinButton* button : {&m_btnSetting, &m_btnMin, &m_btnMax}) {
    if (!button->m_hWnd) continue;
    RECT r = button->GetRectInParent();
    DrawImageAt(g, m_pImgSpilter, r.right - ImageWidth(m_pImgSpilter), layout::kTopStrip);
  }
}

HBRUSH CQuenbyDlg::OnCtlColor(HDC dc, HWND control, UINT ctlType) {
  CDialog::OnCtlColor(dc, control, ctlType);
  if (ctlType == CTLCOLOR_STATIC) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    return (HBRUSH)GetStockObject(NULL_BRUSH);
  }
  return (HBRUSH)GetStockObject(BLACK_BRUSH);
}

void CQuenbyDlg::OnSize(UINT type, int cx, int cy) {
  Default();
  // A minimised window keeps the layout it had.
  if (!m_bInitialised || type == SIZE_MINIMIZED) return;
  RelayoutControls(cx, cy);
  m_htmlBanner.UpdateWindow();
  m_htmlMain.UpdateWindow();
}

void CQuenbyDlg::RelayoutControls(int cx, int cy) {
  CSkinButton* titleButtons[] = {&m_btnClose, &m_btnMax, &m_btnMin, &m_btnSetting};
  std::vector<int> widths;
  for (CSkinButton* b : titleButtons) widths.push_back(RectWidth(b->GetClientRect()));
  std::vector<int> lefts = layout::TitleButtonLefts(cx, widths);
  for (size_t i = 0; i < lefts.size(); ++i)
    titleButtons[i]->SetWindowPos(nullptr, lefts[i], layout::kTitleButtonTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

  const int bottomHeight = ImageHeight(m_pImgBackBottom);
  if (m_ad.m_hWnd) {
    RECT r = m_ad.GetRectInParent();
    m_ad.SetWindowPos(nullptr, cx - RectWidth(r) - 60, cy - RectHeight(r), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  if (m_suggest.m_hWnd) {
    RECT r = m_suggest.GetRectInParent();
    m_suggest.SetWindowPos(nullptr, 5, cy - RectHeight(r), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  if (m_htmlMain.m_hWnd) {
    RECT r = m_htmlMain.GetRectInParent();
    m_htmlMain.SetWindowPos(nullptr, 0, 0, cx - r.left - 2, cy - r.top - bottomHeight, SWP_NOMOVE | SWP_NOZORDER);
  }
  if (m_pScrollWnd && m_pScrollWnd->m_hWnd) {
    RECT tree = m_tree.GetRectInParent();
    m_pScrollWnd->SetWindowPos(nullptr, 0, 0, RectWidth(tree), cy - tree.top - bottomHeight,
                               SWP_NOMOVE | SWP_NOZORDER);
  }
  if (m_htmlBanner.m_hWnd)
    m_htmlBanner.SetWindowPos(nullptr, layout::BannerLeft(cx), layout::kBannerTop, layout::kBannerWidth,
                              layout::kBannerHeight, SWP_NOZORDER);
  InvalidateAll();
}

void CQuenbyDlg::InvalidateAll() {
  // The background under every control changes with the size and the skin: the controls repaint too.
  RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CQuenbyDlg::OnTimer(UINT_PTR id) {
  KillTimer(id);
  switch (id) {
    case kTimerEnableNext:
      m_btnNext.EnableWindow(TRUE);
      break;
    case kTimerEnablePrev:
      m_btnPrev.EnableWindow(TRUE);
      break;
    case kTimerClearTimes:
      m_lblElapsed.SetWindowText(L"00:00");
      m_lblTotal.SetWindowText(L"00:00");
      break;
    case kTimerShutdown:
      break;
  }
  Default();
}

LRESULT CQuenbyDlg::OnNcHitTest(int x, int y) {
  RECT r = GetWindowRect();
  switch (layout::HitTestBorder(x, y, {r.left, r.top, r.right, r.bottom})) {
    case layout::Hit::Right: return HTRIGHT;
    case layout::Hit::Bottom: return HTBOTTOM;
    case layout::Hit::BottomRight: return HTBOTTOMRIGHT;
    case layout::Hit::Client: break;
  }
  return HTCLIENT;
}

BOOL CQuenbyDlg::OnSetCursor(HWND, UINT hit, UINT) {
  const wchar_t* cursor = IDC_ARROW;
  switch (hit) {
    case HTLEFT:
    case HTRIGHT: cursor = IDC_SIZEWE; break;
    case HTTOP:
    case HTBOTTOM: cursor = IDC_SIZENS; break;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: cursor = IDC_SIZENWSE; break;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: cursor = IDC_SIZENESW; break;
  }
  SetCursor(LoadCursorW(nullptr, cursor));
  return TRUE;
}

void CQuenbyDlg::OnNcLButtonDown(UINT hit, LPARAM point) {
  switch (hit) {
    case HTCAPTION: Default(); break;
    case HTBOTTOM: SendMessage(WM_SYSCOMMAND, SC_SIZE + WMSZ_BOTTOM, point); break;
    case HTRIGHT: SendMessage(WM_SYSCOMMAND, SC_SIZE + WMSZ_RIGHT, point); break;
    case HTBOTTOMRIGHT: SendMessage(WM_SYSCOMMAND, SC_SIZE + WMSZ_BOTTOMRIGHT, point); break;
  }
}

namespace {
// Non-client messages carry screen coordinates; mouse messages of the client area carry client ones.
LPARAM ClientToScreenParam(HWND hwnd, LPARAM lp) {
  POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  ClientToScreen(hwnd, &pt);
  return MAKELPARAM(pt.x, pt.y);
}
}  // namespace

void CQuenbyDlg::OnLButtonDown(LPARAM point) {
  // Dragging anywhere on the background moves the window.
  PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, ClientToScreenParam(m_hWnd, point));
  Default();
}

void CQuenbyDlg::OnRButtonDown(LPARAM point) {
  PostMessage(WM_NCRBUTTONDOWN, HTCAPTION, ClientToScreenParam(m_hWnd, point));
  Default();
}

void CQuenbyDlg::OnLButtonDblClk() {
  OnMaxRestore();
  Default();
}

void CQuenbyDlg::OnGetMinMaxInfo(MINMAXINFO* info) {
  Default();
  info->ptMinTrackSize.x = RectWidth(m_rcInitial);
  info->ptMinTrackSize.y = RectHeight(m_rcInitial);
}

void CQuenbyDlg::OnMove(int x, int y) {
  Default();
  if (m_pLogoDlg && m_pLogoDlg->m_hWnd)
    m_pLogoDlg->SetWindowPos(nullptr, x + 5, y + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CQuenbyDlg::OnWindowPosChanging(WINDOWPOS* pos) {
  if (m_bShown) {
    Default();
    return;
  }
  // While the window is meant to stay hidden nothing may show it, whoever asks.
  pos->flags &= ~SWP_SHOWWINDOW;
  static bool hiding = false;  // hiding changes the position too: no recursion
  if (!hiding && IsWindowVisible() && !(pos->flags & SWP_HIDEWINDOW)) {
    hiding = true;
    ShowWindow(SW_HIDE);
    hiding = false;
  }
}
