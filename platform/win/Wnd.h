// One C++ object per window. A window either belongs to a class we registered (the object attaches
// at WM_NCCREATE) or is an existing window we subclass (a control of a dialog template, a dialog);
// either way every message goes to the object's virtual WindowProc, which calls the On... hooks.
//
// The object is found from its handle through a window property, so the window's own user data
// (GWLP_USERDATA) stays free for the window: a control may keep its own pointer there.
//
// Controls get WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM and WM_CTLCOLOR* back from their
// parent ("reflection") through OnChildNotify before the parent's own handlers see them.
#pragma once
#include <windows.h>

#include <string>

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }

  // The object attached to a window, or null.
  static CWnd* FromHandle(HWND hwnd);

  // Creation arguments of a window of our own class (className null) or of a system class
  // (for example L"STATIC"), which is subclassed right after creation.
  struct CreateArgs {
    const wchar_t* className = nullptr;
    const wchar_t* title = L"";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, cx = CW_USEDEFAULT, cy = CW_USEDEFAULT;
    HWND parent = nullptr;
    UINT_PTR id = 0;          // control id of a child window
    UINT classStyle = 0;      // class styles of our own class (CS_DBLCLKS...)
  };
  bool Create(const CreateArgs& args);

  // Attaches this object to an existing window by replacing its window procedure.
  bool SubclassWindow(HWND hwnd);
  bool SubclassDlgItem(int id, HWND parent);
  // Gives the window its previous procedure back and detaches the object.
  HWND UnsubclassWindow();
  // Destroys the window (the object stays and can be used again).
  void DestroyWindow();

  // Thin helpers.
  LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(m_hWnd, msg, wp, lp); }
  BOOL PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageW(m_hWnd, msg, wp, lp); }
  UINT_PTR SetTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_hWnd, id, ms, nullptr); }
  BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
  void Invalidate(BOOL erase = TRUE) const { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
  BOOL ShowWindow(int cmd) const { return ::ShowWindow(m_hWnd, cmd); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  BOOL EnableWindow(BOOL enable) const { return ::EnableWindow(m_hWnd, enable); }
  HWND GetParent() const { return ::GetParent(m_hWnd); }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  RECT GetClientRect() const;
  RECT GetWindowRect() const;
  // The window rectangle in the client coordinates of its parent.
  RECT GetRectInParent() const;
  void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE) const { ::MoveWindow(m_hWnd, x, y, cx, cy, repaint); }
  BOOL SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const {
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags);
  }
  void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
  std::wstring GetWindowText() const;

  // Called for every message the message loop takes for this window or one of its children,
  // before it is translated and dispatched; true = consumed.
  virtual bool PreTranslateMessage(MSG* msg) { return false; }

 protected:
  // The message dispatcher. Messages it does not route to a hook, and hooks that are not
  // overridden, end in Default().
  virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
  // The previous window procedure (or DefWindowProc) for the message being handled.
  LRESULT Default();

  virtual BOOL OnCommand(WPARAM wp, LPARAM lp);                 // TRUE = handled
  virtual BOOL OnNotify(WPARAM wp, LPARAM lp, LRESULT* result);  // TRUE = handled
  virtual void OnTimer(UINT_PTR id) { Default(); }
  virtual void OnPaint() { Default(); }
  virtual void OnSize(UINT type, int cx, int cy) { Default(); }
  virtual BOOL OnEraseBkgnd(HDC dc) { return (BOOL)Default(); }
  // Base: the control's reflected answer, else the default colours.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT ctlType);
  virtual void OnDestroy() { Default(); }
  // After the last message (WM_NCDESTROY); the object is detached. Heap windows may delete themselves.
  virtual void PostNcDestroy() {}
  // Right after SubclassWindow attached the object to an existing window (for example a control
  // of a dialog template): the place to add styles, tooltips and cursors to that control.
  virtual void PreSubclassWindow() {}

  // Control side of reflection: the parent offers the control its WM_COMMAND, WM_NOTIFY,
  // WM_DRAWITEM, WM_MEASUREITEM and WM_CTLCOLOR*. true = handled, *result is the answer.
  virtual bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
  virtual bool DrawItem(DRAWITEMSTRUCT* dis) { return false; }
  virtual bool MeasureItem(MEASUREITEMSTRUCT* mis) { return false; }
  virtual HBRUSH CtlColor(HDC dc, UINT ctlType) { return nullptr; }  // null = not handled

  // Finds the object of a child and lets it handle a reflected message.
  static bool ReflectToChild(HWND child, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);

  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // Runs one message through WindowProc with exceptions caught; used by the window and dialog procedures.
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  void Attach(HWND hwnd, WNDPROC previous);
  void Detach();

 private:
  struct Message {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
  };
  Message m_current{};
  WNDPROC m_prevProc = nullptr;
  bool m_subclassed = false;  // we replaced the window procedure (it is given back on detach)

  friend class CDialog;
};

// Where an exception caught at a window or thread procedure is reported (default: debugger output).
// The program points it at its trace file.
using WindowErrorReporter = void (*)(const wchar_t* where, const char* what);
void SetWindowErrorReporter(WindowErrorReporter reporter);
void ReportWindowError(const wchar_t* where, const char* what);

// The module handle of the program (resources, window classes).
HINSTANCE AppInstance();
