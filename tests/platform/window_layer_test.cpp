#include <doctest/doctest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageLoop.h"
#include "platform/win/Thread.h"
#include "platform/win/Wnd.h"
#include "platform_test_ids.h"

namespace {

// Handles messages until `done` holds; gives up after `limitMs` so a broken layer fails instead of hanging.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 10000) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > limitMs) return false;
    PumpPendingMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

struct ReportedError {
  std::wstring where;
  std::string what;
};
std::vector<ReportedError> g_errors;
void RecordError(const wchar_t* where, const char* what) { g_errors.push_back({where, what}); }

// A top-level window of our own class that records what reaches it.
class RecordingWindow : public CWnd {
 public:
  std::vector<UINT> commands, notifies, timers, messages;
  std::vector<UINT> preTranslated;
  bool consumeInPreTranslate = false;
  int ncDestroyed = 0;

  bool CreateTopLevel(const wchar_t* title = L"recording") {
    CreateArgs a;
    a.title = title;
    a.style = WS_OVERLAPPEDWINDOW;
    a.x = a.y = 10;
    a.cx = 300;
    a.cy = 200;
    return Create(a);
  }
  bool CreateChild(HWND parent, UINT id) {
    CreateArgs a;
    a.style = WS_CHILD | WS_VISIBLE;
    a.x = a.y = 0;
    a.cx = a.cy = 50;
    a.parent = parent;
    a.id = id;
    return Create(a);
  }
  bool PreTranslateMessage(MSG* msg) override {
    if (msg->message != WM_KEYDOWN) return false;
    preTranslated.push_back(msg->message);
    return consumeInPreTranslate;
  }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    messages.push_back(msg);
    return CWnd::WindowProc(msg, wp, lp);
  }
  BOOL OnCommand(WPARAM wp, LPARAM) override {
    commands.push_back(HIWORD(wp));
    return TRUE;
  }
  BOOL OnNotify(WPARAM, LPARAM lp, LRESULT* r) override {
    notifies.push_back(reinterpret_cast<NMHDR*>(lp)->code);
    *r = 0;
    return TRUE;
  }
  void OnTimer(UINT_PTR id) override {
    KillTimer(id);
    timers.push_back((UINT)id);
  }
  void PostNcDestroy() override { ++ncDestroyed; }
};

// A button subclassed from a system control; it may or may not take the reflected messages.
class ReflectingButton : public CButton {
 public:
  bool takeReflected = true;
  std::vector<UINT> reflected;
  int drawn = 0;
  int messages = 0;
  HBRUSH brush = nullptr;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    ++messages;
    return CButton::WindowProc(msg, wp, lp);
  }
  bool OnChildNotify(UINT msg, WPARAM wp, LPARAM lp, LRESULT* r) override {
    reflected.push_back(msg);
    if (!takeReflected) return false;
    if (CButton::OnChildNotify(msg, wp, lp, r)) return true;
    if (msg == WM_COMMAND || msg == WM_NOTIFY) {
      *r = 0;
      return true;
    }
    return false;
  }
  bool DrawItem(DRAWITEMSTRUCT*) override {
    ++drawn;
    return takeReflected;
  }
  HBRUSH CtlColor(HDC, UINT) override { return brush; }
};

HWND CreateSystemChild(const wchar_t* cls, HWND parent, UINT id, DWORD style = 0) {
  return CreateWindowExW(0, cls, L"x", WS_CHILD | WS_VISIBLE | style, 0, 0, 60, 20, parent, (HMENU)(UINT_PTR)id,
                         GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST_CASE("objects are found from their window handles and leave the window's user data alone") {
  RecordingWindow top;
  REQUIRE(top.CreateTopLevel());
  CHECK(CWnd::FromHandle(top.m_hWnd) == &top);

  HWND raw = CreateSystemChild(L"STATIC", top.m_hWnd, 11);
  REQUIRE(raw);
  CHECK(CWnd::FromHandle(raw) == nullptr);
  // A control may keep its own pointer in GWLP_USERDATA (the scroll-bar frame does): the layer must not touch it.
  int marker = 0;
  SetWindowLongPtrW(raw, GWLP_USERDATA, (LONG_PTR)&marker);
  CStatic label;
  REQUIRE(label.SubclassWindow(raw));
  CHECK(CWnd::FromHandle(raw) == &label);
  CHECK(GetWindowLongPtrW(raw, GWLP_USERDATA) == (LONG_PTR)&marker);
  SetWindowLongPtrW(raw, GWLP_USERDATA, (LONG_PTR)&top);
  CHECK(CWnd::FromHandle(raw) == &label);

  CHECK(CWnd::FromHandle(nullptr) == nullptr);
  CHECK(CWnd::FromHandle(GetDesktopWindow()) == nullptr);

  HWND old = top.m_hWnd;
  top.DestroyWindow();
  CHECK(top.m_hWnd == nullptr);
  CHECK(label.m_hWnd == nullptr);  // the child went with its parent and was detached
  CHECK(CWnd::FromHandle(old) == nullptr);
  CHECK(top.ncDestroyed == 1);
}

TEST_CASE("subclassing attaches to an existing control and detaching gives it back") {
  RecordingWindow top;
  REQUIRE(top.CreateTopLevel());
  HWND raw = CreateSystemChild(L"BUTTON", top.m_hWnd, 12);
  REQUIRE(raw);
  const LONG_PTR original = GetWindowLongPtrW(raw, GWLP_WNDPROC);

  ReflectingButton button;
  REQUIRE(button.SubclassWindow(raw));
  CHECK(GetWindowLongPtrW(raw, GWLP_WNDPROC) != original);
  ReflectingButton second;
  CHECK_FALSE(second.SubclassWindow(raw));  // one object per window
  CHECK_FALSE(button.SubclassWindow(raw));

  int before = button.messages;
  SetWindowTextW(raw, L"新文字");  // reaches the object, then the original procedure stores the text
  CHECK(button.messages > before);
  CHECK(button.GetWindowText() == L"新文字");

  CHECK(button.UnsubclassWindow() == raw);
  CHECK(button.m_hWnd == nullptr);
  CHECK(GetWindowLongPtrW(raw, GWLP_WNDPROC) == original);
  CHECK(CWnd::FromHandle(raw) == nullptr);
  before = button.messages;
  SetWindowTextW(raw, L"again");
  CHECK(button.messages == before);

  SUBCASE("an object that dies first gives the window its procedure back") {
    {
      CButton shortLived;
      REQUIRE(shortLived.SubclassWindow(raw));
    }
    CHECK(GetWindowLongPtrW(raw, GWLP_WNDPROC) == original);
    CHECK(CWnd::FromHandle(raw) == nullptr);
    SetWindowTextW(raw, L"still works");
    wchar_t text[32] = {};
    GetWindowTextW(raw, text, 32);
    CHECK(std::wstring(text) == L"still works");
  }
  SUBCASE("a window destroyed while subclassed detaches its object") {
    REQUIRE(button.SubclassWindow(raw));
    DestroyWindow(raw);
    CHECK(button.m_hWnd == nullptr);
  }
  SUBCASE("a window of our own class dies with its object") {
    HWND own;
    {
      RecordingWindow child;
      REQUIRE(child.CreateChild(top.m_hWnd, 13));
      own = child.m_hWnd;
    }
    CHECK_FALSE(IsWindow(own));
  }
}

TEST_CASE("control notifications are reflected to the control object before the parent sees them") {
  RecordingWindow parent;
  REQUIRE(parent.CreateTopLevel());
  ShowWindow(parent.m_hWnd, SW_SHOWNOACTIVATE);
  HWND raw = CreateSystemChild(L"BUTTON", parent.m_hWnd, 21);
  ReflectingButton button;
  REQUIRE(button.SubclassWindow(raw));
  HBRUSH childBrush = (HBRUSH)GetStockObject(GRAY_BRUSH);
  button.brush = childBrush;

  struct Case {
    const char* name;
    bool childTakes;
  };
  const Case cases[] = {{"control takes the reflected message", true}, {"control declines it", false}};
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    button.takeReflected = c.childTakes;
    button.reflected.clear();
    parent.commands.clear();
    parent.notifies.clear();

    // A real click: the button sends BN_CLICKED to its parent.
    SendMessageW(raw, BM_CLICK, 0, 0);
    NMHDR nm = {raw, 21, (UINT)NM_CLICK};
    SendMessageW(parent.m_hWnd, WM_NOTIFY, 21, (LPARAM)&nm);
    CHECK(std::count(button.reflected.begin(), button.reflected.end(), (UINT)WM_COMMAND) == 1);
    CHECK(std::count(button.reflected.begin(), button.reflected.end(), (UINT)WM_NOTIFY) == 1);
    button.reflected.clear();  // the click repainted the button, which asked for its colours too
    HDC dc = GetDC(raw);
    LRESULT brush = SendMessageW(parent.m_hWnd, WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)raw);
    ReleaseDC(raw, dc);
    CHECK(button.reflected == std::vector<UINT>{WM_CTLCOLORBTN});
    CHECK(parent.commands.size() == (c.childTakes ? 0u : 1u));
    CHECK(parent.notifies.size() == (c.childTakes ? 0u : 1u));
    if (c.childTakes) {
      CHECK((HBRUSH)brush == childBrush);
    }
  }

  SUBCASE("a control that answers no colour leaves the parent's default") {
    button.takeReflected = true;
    button.brush = nullptr;
    HDC dc = GetDC(raw);
    LRESULT brush = SendMessageW(parent.m_hWnd, WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)raw);
    ReleaseDC(raw, dc);
    CHECK((HBRUSH)brush != childBrush);
  }
  SUBCASE("an owner-drawn button draws itself through the reflected WM_DRAWITEM") {
    HWND drawnRaw = CreateSystemChild(L"BUTTON", parent.m_hWnd, 22, BS_OWNERDRAW);
    ReflectingButton drawn;
    REQUIRE(drawn.SubclassWindow(drawnRaw));
    InvalidateRect(drawnRaw, nullptr, TRUE);
    UpdateWindow(drawnRaw);
    CHECK(drawn.drawn >= 1);
    CHECK(std::count(drawn.reflected.begin(), drawn.reflected.end(), (UINT)WM_DRAWITEM) >= 1);
  }
}

TEST_CASE("input goes through the objects' pre-translation, innermost window first") {
  RecordingWindow parent, child;
  REQUIRE(parent.CreateTopLevel());
  REQUIRE(child.CreateChild(parent.m_hWnd, 31));
  struct Case {
    const char* name;
    bool parentConsumes;
    size_t childSeesKey;
  };
  const Case cases[] = {{"nobody consumes: the child gets the key", false, 1},
                        {"the parent consumes: the child never gets it", true, 0}};
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    parent.preTranslated.clear();
    child.preTranslated.clear();
    child.messages.clear();
    parent.consumeInPreTranslate = c.parentConsumes;
    PostMessageW(child.m_hWnd, WM_KEYDOWN, 'A', 0);
    REQUIRE(PumpUntil([&] { return !parent.preTranslated.empty(); }));
    PumpPendingMessages();
    CHECK(child.preTranslated.size() == 1);
    CHECK(std::count(child.messages.begin(), child.messages.end(), (UINT)WM_KEYDOWN) == (long)c.childSeesKey);
  }
}

namespace {

class TestDialog : public CDialog {
 public:
  explicit TestDialog(HWND parent) : CDialog(IDD_TEST_DIALOG, parent) {}
  std::function<void(TestDialog&)> onInit;
  std::function<void(TestDialog&)> onTimer;
  CWnd edit;
  CStatic label;
  CButton missing;
  bool attached = false, missingAttached = true;
  bool ownerWasDisabled = false;
  int ncDestroyed = 0;

 protected:
  void DoDataExchange() override {
    attached = DdxControl(IDC_TEST_EDIT, edit) && DdxControl(IDC_TEST_LABEL, label);
    missingAttached = DdxControl(999, missing);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    if (onInit) onInit(*this);
    return TRUE;
  }
  void OnTimer(UINT_PTR id) override {
    KillTimer(id);
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    ownerWasDisabled = owner && !IsWindowEnabled(owner);
    if (onTimer) onTimer(*this);
  }
  void PostNcDestroy() override { ++ncDestroyed; }
};

}  // namespace

TEST_CASE("a modal dialog runs our loop until it ends and returns its end code") {
  RecordingWindow owner;
  REQUIRE(owner.CreateTopLevel(L"owner"));
  struct Case {
    const char* name;
    std::function<void(TestDialog&)> act;  // run from a timer while the dialog's loop runs
    INT_PTR expected;
  };
  const Case cases[] = {
      {"EndDialog with a code", [](TestDialog& d) { d.EndDialog(42); }, 42},
      {"Enter in the edit box presses the default button",
       [](TestDialog& d) { PostMessageW(d.edit.m_hWnd, WM_KEYDOWN, VK_RETURN, 0); }, IDOK},
      {"Escape cancels", [](TestDialog& d) { PostMessageW(d.edit.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0); }, IDCANCEL},
      {"the OK button",
       [](TestDialog& d) {
         PostMessageW(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)d.GetDlgItem(IDOK));
       },
       IDOK},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    TestDialog dialog(owner.m_hWnd);
    HWND seen = nullptr;
    dialog.onInit = [&](TestDialog& d) {
      seen = d.m_hWnd;
      d.SetTimer(1, 10);
    };
    dialog.onTimer = c.act;
    INT_PTR result = dialog.DoModal();
    CHECK(result == c.expected);
    CHECK(dialog.attached);
    CHECK_FALSE(dialog.missingAttached);
    CHECK(dialog.ownerWasDisabled);
    CHECK(IsWindowEnabled(owner.m_hWnd));
    CHECK(seen != nullptr);
    CHECK_FALSE(IsWindow(seen));
    CHECK(dialog.m_hWnd == nullptr);
    CHECK(dialog.edit.m_hWnd == nullptr);
    CHECK(dialog.ncDestroyed == 1);
  }

  SUBCASE("EndDialog during OnInitDialog ends before the loop starts") {
    TestDialog dialog(nullptr);
    dialog.onInit = [](TestDialog& d) { d.EndDialog(7); };
    CHECK(dialog.DoModal() == 7);
  }
  SUBCASE("a template that does not exist gives -1") {
    CDialog dialog(4242);
    CHECK(dialog.DoModal() == -1);
  }
}

TEST_CASE("a modeless dialog lives until it is ended and keeps the dialog keys") {
  RecordingWindow owner;
  REQUIRE(owner.CreateTopLevel(L"owner"));
  struct Case {
    const char* name;
    std::function<void(TestDialog&)> end;
  };
  const Case cases[] = {
      {"EndDialog", [](TestDialog& d) { d.EndDialog(IDOK); }},
      {"Escape", [](TestDialog& d) { PostMessageW(d.edit.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0); }},
      {"DestroyWindow", [](TestDialog& d) { d.DestroyWindow(); }},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    TestDialog dialog(nullptr);
    REQUIRE(dialog.Create(owner.m_hWnd));
    CHECK(dialog.IsWindowVisible());
    CHECK_FALSE(dialog.IsModal());
    CHECK(IsWindowEnabled(owner.m_hWnd));  // a modeless dialog leaves its owner usable
    CHECK(::GetWindow(dialog.m_hWnd, GW_OWNER) == owner.m_hWnd);
    c.end(dialog);
    REQUIRE(PumpUntil([&] { return dialog.m_hWnd == nullptr; }));
    CHECK(dialog.ncDestroyed == 1);
  }
}

TEST_CASE("timers reach OnTimer with their ids") {
  RecordingWindow w;
  REQUIRE(w.CreateTopLevel());
  const UINT ids[] = {1, 2, 100};
  for (UINT id : ids) w.SetTimer(id, 10 + id % 50);
  REQUIRE(PumpUntil([&] { return w.timers.size() >= 3; }));
  PumpPendingMessages();
  std::sort(w.timers.begin(), w.timers.end());
  CHECK(w.timers == std::vector<UINT>{1, 2, 100});  // each was killed by its own handler: exactly once
}

namespace {

class ThrowingWindow : public CWnd {
 public:
  int handled = 0;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_APP) throw std::runtime_error("boom");
    if (msg == WM_APP + 1) throw 42;
    if (msg == WM_APP + 2) ++handled;
    return CWnd::WindowProc(msg, wp, lp);
  }
  void OnTimer(UINT_PTR id) override {
    KillTimer(id);
    throw std::logic_error("timer failed");
  }
};

DWORD WINAPI ThrowingThread(LPVOID) { throw std::runtime_error("worker failed"); }
DWORD WINAPI UnknownThrowingThread(LPVOID) { throw 5; }
DWORD WINAPI FineThread(LPVOID param) { return (DWORD)(UINT_PTR)param; }

}  // namespace

TEST_CASE("an exception in a handler or a worker never leaves its procedure") {
  SetWindowErrorReporter(RecordError);
  ThrowingWindow w;
  CWnd::CreateArgs a;
  a.style = WS_OVERLAPPEDWINDOW;
  REQUIRE(w.Create(a));

  struct Case {
    const char* name;
    std::function<void()> run;
    const char* what;
  };
  const Case cases[] = {
      {"sent message", [&] { CHECK(SendMessageW(w.m_hWnd, WM_APP, 0, 0) == 0); }, "boom"},
      {"non-standard exception", [&] { SendMessageW(w.m_hWnd, WM_APP + 1, 0, 0); }, "unknown exception"},
      {"timer through the message loop",
       [&] {
         w.SetTimer(3, 10);
         REQUIRE(PumpUntil([] { return !g_errors.empty(); }));
       },
       "timer failed"},
      {"worker thread",
       [] {
         HANDLE h = StartThread(ThrowingThread, nullptr, L"test worker");
         REQUIRE(h);
         WaitForSingleObject(h, INFINITE);
         DWORD code = 0;
         GetExitCodeThread(h, &code);
         CHECK(code == 1);
         CloseHandle(h);
       },
       "worker failed"},
      {"worker thread, non-standard exception",
       [] {
         HANDLE h = StartThread(UnknownThrowingThread, nullptr, L"test worker");
         REQUIRE(h);
         WaitForSingleObject(h, INFINITE);
         CloseHandle(h);
       },
       "unknown exception"},
  };
  for (const Case& c : cases) {
    CAPTURE(std::string(c.name));
    g_errors.clear();
    c.run();
    REQUIRE(g_errors.size() == 1);
    CHECK(g_errors[0].what == c.what);
    // The window still works after the failure.
    int before = w.handled;
    SendMessageW(w.m_hWnd, WM_APP + 2, 0, 0);
    CHECK(w.handled == before + 1);
  }
  HANDLE h = StartThread(FineThread, (void*)(UINT_PTR)17, L"fine");
  REQUIRE(h);
  WaitForSingleObject(h, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(h, &code);
  CHECK(code == 17);
  CloseHandle(h);
  SetWindowErrorReporter(nullptr);
}

namespace {
struct SendingWorker {
  HWND target;
  LRESULT answer = 0;
};
DWORD WINAPI SendThenEnd(LPVOID p) {
  SendingWorker* s = static_cast<SendingWorker*>(p);
  s->answer = SendMessageW(s->target, WM_SETTEXT, 0, (LPARAM)L"from the worker");
  return 0;
}
}  // namespace

TEST_CASE("waiting for workers handles what they send to our windows meanwhile") {
  RecordingWindow w;
  REQUIRE(w.CreateTopLevel());
  SendingWorker worker{w.m_hWnd};
  HANDLE threads[2] = {StartThread(SendThenEnd, &worker, L"sender"), nullptr};  // a null entry is skipped
  REQUIRE(threads[0]);
  CHECK(WaitForHandlesDispatchingSent(threads, 2, INFINITE));
  CHECK(worker.answer == TRUE);
  CHECK(w.GetWindowText() == L"from the worker");
  CloseHandle(threads[0]);

  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CHECK_FALSE(WaitForHandlesDispatchingSent(&never, 1, 50));
  CloseHandle(never);
}
