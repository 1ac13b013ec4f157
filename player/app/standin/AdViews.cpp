#include "player/app/standin/AdViews.h"

#include "platform/win/Gdi.h"
#include "platform/win/Images.h"
#include "player/ui/SkinMgr.h"

namespace {
const COLORREF kLogoKeyColour = RGB(255, 255, 254);
const DWORD kLogoKey = 0x00FFFFFE;  // the same colour as a DIB pixel (0x00RRGGBB)
}  // namespace

bool CAdHtml::CreateFromStatic(UINT id, HWND parent, const RECT& rect, bool) {
  HWND placeholder = ::GetDlgItem(parent, (int)id);
  if (!placeholder) return false;
  ::DestroyWindow(placeholder);
  CreateArgs a;
  a.style = WS_CHILD | WS_VISIBLE;
  a.x = rect.left;
  a.y = rect.top;
  a.cx = rect.right - rect.left;
  a.cy = rect.bottom - rect.top;
  a.parent = parent;
  a.id = id;
  return Create(a);
}

void CAdHtml::OnPaint() {
  CPaintDC paint(m_hWnd);
  RECT rc = GetClientRect();
  if (!m_bSeeThrough) {
    FillSolid(paint.dc(), rc, RGB(255, 255, 255));
    return;
  }
  // The parent draws its background into this view, shifted to the view's place.
  RECT place = GetRectInParent();
  COffscreenDC off(paint.dc(), rc.right, rc.bottom);
  SetViewportOrgEx(off.dc(), -place.left, -place.top, nullptr);
  ::SendMessageW(GetParent(), WM_PRINTCLIENT, (WPARAM)off.dc(), PRF_CLIENT);
  SetViewportOrgEx(off.dc(), 0, 0, nullptr);
  off.CopyTo(paint.dc());
}

LRESULT CAdHtml::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  // Moved or resized, the background beneath has changed too.
  if (msg == WM_WINDOWPOSCHANGED && m_bSeeThrough) Invalidate(FALSE);
  return CWnd::WindowProc(msg, wp, lp);
}

CSuggest::~CSuggest() {
  delete m_pIcon;
  if (m_hFont) DeleteObject(m_hFont);
}

void CSuggest::Start() {
  m_nTop = 4;
  delete m_pIcon;
  m_pIcon = LoadImageFile(SkinMgr::GetInstance().GetImagePath(L"suggest"));
  if (!m_hFont)
    m_hFont = CreateFontW(14, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          PROOF_QUALITY, FF_SWISS, L"宋体");
  Invalidate();
}

void CSuggest::Paint() {
  CPaintDC paint(m_hWnd);
  HDC dc = paint.dc();
  // No background of its own: the main window has painted its bottom strip under the link.
  {
    Gdiplus::Graphics g(dc);
    DrawImageAt(g, m_pIcon, 16, m_nTop);
  }
  RECT rc = GetClientRect();
  RECT text = {16 + ImageWidth(m_pIcon) + 4, m_nTop, rc.right, 20};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  HGDIOBJ old = SelectObject(dc, m_hFont ? (HGDIOBJ)m_hFont : GetStockObject(DEFAULT_GUI_FONT));
  DrawTextW(dc, L"意见反馈", -1, &text, DT_BOTTOM | DT_END_ELLIPSIS | DT_SINGLELINE);
  SelectObject(dc, old);
}

LRESULT CSuggest::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return TRUE;
    case WM_PAINT:
      Paint();
      return 0;
  }
  return CStatic::WindowProc(msg, wp, lp);
}

CAppLogoDlg::CAppLogoDlg(const std::wstring& picturePath) : m_pImage(LoadImageFile(picturePath)) {}

CAppLogoDlg::~CAppLogoDlg() {
  DestroyWindow();
  delete m_pImage;
  if (m_hPicture) DeleteObject(m_hPicture);
}

bool CAppLogoDlg::Create(HWND owner) {
  CreateArgs a;
  a.style = WS_POPUP;
  a.exStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  a.x = a.y = 0;
  a.cx = ImageWidth(m_pImage);
  a.cy = ImageHeight(m_pImage);
  a.parent = owner;
  if (!CWnd::Create(a)) return false;
  UpdateLayer();
  return true;
}

void CAppLogoDlg::UpdateLayer() {
  int w = ImageWidth(m_pImage), h = ImageHeight(m_pImage);
  if (w <= 0 || h <= 0) return;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return;
  {
    Gdiplus::Bitmap canvas(w, h, w * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
    Gdiplus::Graphics g(&canvas);
    g.Clear(Gdiplus::Color(0, 0, 0, 0));
    DrawImageAt(g, m_pImage, 0, 0);
  }
  // Colour-keyed rather than blended per pixel: without a compositing window manager (Wine on a
  // bare X server) per-pixel alpha shows black where the picture is clear. Clear pixels take the
  // key; the others are laid over white, the colour of the picture's rim.
  DWORD* pixels = static_cast<DWORD*>(bits);
  for (int i = 0; i < w * h; ++i) {
    DWORD p = pixels[i], a = p >> 24;
    if (a < 128) {
      pixels[i] = kLogoKey;
      continue;
    }
    DWORD r = ((p >> 16) & 0xFF) + 255 - a, gr = ((p >> 8) & 0xFF) + 255 - a, b = (p & 0xFF) + 255 - a;
    pixels[i] = (r << 16) | (gr << 8) | b;
  }
  if (m_hPicture) DeleteObject(m_hPicture);
  m_hPicture = dib;
  SetLayeredWindowAttributes(m_hWnd, kLogoKeyColour, 0, LWA_COLORKEY);
  Invalidate(FALSE);
}

void CAppLogoDlg::OnPaint() {
  CPaintDC paint(m_hWnd);
  if (!m_hPicture) return;
  HDC mem = CreateCompatibleDC(paint.dc());
  HGDIOBJ old = SelectObject(mem, m_hPicture);
  RECT rc = GetClientRect();
  BitBlt(paint.dc(), 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}
