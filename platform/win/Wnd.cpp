#include "platform/win/Wnd.h"

#include <cstdio>
#include <exception>
#include <vector>

namespace {

const wchar_t kObjectProperty[] = L"Halvery.Wnd";

void DebuggerReporter(const wchar_t* where, const char* what) {
  wchar_t line[512];
  _snwprintf(line, 511, L"exception caught in %ls: %hs\n", where, what ? what : "");
  line[511] = 0;
  OutputDebugStringW(line);
}

WindowErrorReporter g_reporter = DebuggerReporter;

// Our own window class, one per set of class styles.
const wchar_t* OwnClassName(UINT classStyle, WNDPROC proc) {
  static wchar_t names[8][32];
  static UINT styles[8];
  static int count = 0;
  for (int i = 0; i < count; ++i)
    if (styles[i] == classStyle) return names[i];
  if (count == 8) return nullptr;
  wchar_t* name = names[count];
  _snwprintf(name, 31, L"HalveryWnd%X", classStyle);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.style = classStyle;
  wc.lpfnWndProc = proc;
  wc.hInstance = AppInstance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszClassName = name;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  styles[count++] = classStyle;
  return name;
}

}  // namespace

void SetWindowErrorReporter(WindowErrorReporter reporter) { g_reporter = reporter ? reporter : DebuggerReporter; }

void ReportWindowError(const wchar_t* where, const char* what) {
  // The reporter itself must not throw out of a window procedure either.
  try {
    g_reporter(where, what);
  } catch (...) {
  }
}

HINSTANCE AppInstance() { return GetModuleHandleW(nullptr); }

CWnd::~CWnd() {
  if (!m_hWnd) return;
  // A window must never outlive the object its procedure points at.
  if (m_subclassed)
    UnsubclassWindow();
  else
    ::DestroyWindow(m_hWnd);
  if (m_hWnd) Detach();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId()) return nullptr;  // a property of another process's window is not our pointer
  return static_cast<CWnd*>(GetPropW(hwnd, kObjectProperty));
}

bool CWnd::Create(const CreateArgs& a) {
  if (m_hWnd) return false;
  if (!a.className) {
    const wchar_t* cls = OwnClassName(a.classStyle, StaticWindowProc);
    if (!cls) return false;
    HWND hwnd = CreateWindowExW(a.exStyle, cls, a.title, a.style, a.x, a.y, a.cx, a.cy, a.parent, (HMENU)a.id,
                                AppInstance(), this);
    // A failed creation can still have attached the object at WM_NCCREATE and detached it at WM_NCDESTROY.
    return hwnd != nullptr && m_hWnd == hwnd;
  }
  HWND hwnd = CreateWindowExW(a.exStyle, a.className, a.title, a.style, a.x, a.y, a.cx, a.cy, a.parent, (HMENU)a.id,
                              AppInstance(), nullptr);
  if (!hwnd) return false;
  if (!SubclassWindow(hwnd)) {
    ::DestroyWindow(hwnd);
    return false;
  }
  return true;
}

void CWnd::Attach(HWND hwnd, WNDPROC previous) {
  m_hWnd = hwnd;
  m_prevProc = previous;
  SetPropW(hwnd, kObjectProperty, this);
}

void CWnd::Detach() {
  if (m_hWnd) RemovePropW(m_hWnd, kObjectProperty);
  m_hWnd = nullptr;
  m_prevProc = nullptr;
  m_subclassed = false;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (m_hWnd || !IsWindow(hwnd) || FromHandle(hwnd)) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId()) return false;
  // The object must be findable before the first message reaches the new procedure.
  Attach(hwnd, nullptr);
  WNDPROC previous = (WNDPROC)SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)StaticWindowProc);
  if (!previous) {
    Detach();
    return false;
  }
  m_prevProc = previous;
  m_subclassed = true;
  PreSubclassWindow();
  return true;
}

bool CWnd::SubclassDlgItem(int id, HWND parent) { return SubclassWindow(::GetDlgItem(parent, id)); }

HWND CWnd::UnsubclassWindow() {
  if (!m_hWnd || !m_subclassed) return nullptr;
  HWND hwnd = m_hWnd;
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)m_prevProc);
  Detach();
  return hwnd;
}

void CWnd::DestroyWindow() {
  if (m_hWnd) ::DestroyWindow(m_hWnd);
}

RECT CWnd::GetClientRect() const {
  RECT r = {};
  ::GetClientRect(m_hWnd, &r);
  return r;
}

RECT CWnd::GetWindowRect() const {
  RECT r = {};
  ::GetWindowRect(m_hWnd, &r);
  return r;
}

RECT CWnd::GetRectInParent() const {
  RECT r = GetWindowRect();
  HWND parent = ::GetParent(m_hWnd);
  if (parent && (GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD)) MapWindowPoints(nullptr, parent, (POINT*)&r, 2);
  return r;
}

std::wstring CWnd::GetWindowText() const {
  int n = GetWindowTextLengthW(m_hWnd);
  std::vector<wchar_t> buf(n + 1);
  int got = ::GetWindowTextW(m_hWnd, buf.data(), n + 1);
  return std::wstring(buf.data(), got > 0 ? got : 0);
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CWnd* w = FromHandle(hwnd);
  if (!w) {
    if (msg == WM_NCCREATE) {
      w = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      if (w) w->Attach(hwnd, DefWindowProcW);
    }
    if (!w) return DefWindowProcW(hwnd, msg, wp, lp);
  }
  LRESULT result = w->Dispatch(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    // A window destroyed while still subclassed keeps no dangling property.
    w->Detach();
    try {
      w->PostNcDestroy();
    } catch (const std::exception& e) {
      ReportWindowError(L"PostNcDestroy", e.what());
    } catch (...) {
      ReportWindowError(L"PostNcDestroy", "unknown exception");
    }
  }
  return result;
}

LRESULT CWnd::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  Message saved = m_current;
  m_current = Message{msg, wp, lp};
  LRESULT result = 0;
  try {
    result = WindowProc(msg, wp, lp);
  } catch (const std::exception& e) {
    ReportWindowError(L"window procedure", e.what());
  } catch (...) {
    ReportWindowError(L"window procedure", "unknown exception");
  }
  m_current = saved;
  return result;
}

LRESULT CWnd::Default() {
  if (!m_hWnd) return 0;
  return CallWindowProcW(m_prevProc ? m_prevProc : DefWindowProcW, m_hWnd, m_current.msg, m_current.wp, m_current.lp);
}

bool CWnd::ReflectToChild(HWND child, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  CWnd* c = FromHandle(child);
  if (!c) return false;
  LRESULT r = 0;
  if (!c->OnChildNotify(msg, wp, lp, &r)) return false;
  *result = r;
  return true;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  switch (msg) {
    case WM_COMMAND:
      if (lp && ReflectToChild((HWND)lp, msg, wp, lp, &r)) return r;
      return OnCommand(wp, lp) ? 0 : Default();
    case WM_NOTIFY: {
      const NMHDR* h = reinterpret_cast<const NMHDR*>(lp);
      if (h && ReflectToChild(h->hwndFrom, msg, wp, lp, &r)) return r;
      if (OnNotify(wp, lp, &r)) return r;
      return Default();
    }
    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      if (dis && dis->CtlType != ODT_MENU && ReflectToChild(dis->hwndItem, msg, wp, lp, &r)) return TRUE;
      return Default();
    }
    case WM_MEASUREITEM: {
      const MEASUREITEMSTRUCT* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lp);
      if (mis && mis->CtlType != ODT_MENU && ReflectToChild(::GetDlgItem(m_hWnd, mis->CtlID), msg, wp, lp, &r))
        return TRUE;
      return Default();
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return (LRESULT)OnCtlColor((HDC)wp, (HWND)lp, msg - WM_CTLCOLORMSGBOX);
    case WM_TIMER:
      OnTimer(wp);
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SIZE:
      OnSize((UINT)wp, (short)LOWORD(lp), (short)HIWORD(lp));
      return 0;
    case WM_ERASEBKGND:
      return OnEraseBkgnd((HDC)wp);
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return Default();
  }
}

BOOL CWnd::OnCommand(WPARAM, LPARAM) { return FALSE; }

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) { return FALSE; }

HBRUSH CWnd::OnCtlColor(HDC dc, HWND control, UINT ctlType) {
  LRESULT r = 0;
  if (control && ReflectToChild(control, m_current.msg, m_current.wp, m_current.lp, &r)) return (HBRUSH)r;
  return (HBRUSH)Default();
}

bool CWnd::OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_DRAWITEM:
      return DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
    case WM_MEASUREITEM:
      return MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lp));
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      HBRUSH brush = CtlColor((HDC)wp, msg - WM_CTLCOLORMSGBOX);
      if (!brush) return false;
      *result = (LRESULT)brush;
      return true;
    }
    default:
      return false;
  }
}
