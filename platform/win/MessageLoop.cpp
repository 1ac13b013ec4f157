#include "platform/win/MessageLoop.h"

#include "platform/win/Wnd.h"

bool PreTranslateInput(MSG* msg) {
  for (HWND h = msg->hwnd; h; h = ::GetParent(h)) {
    CWnd* w = CWnd::FromHandle(h);
    if (w && w->PreTranslateMessage(msg)) return true;
    if (!(GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;  // GetParent of a top-level window is its owner
  }
  return false;
}

namespace {

void TranslateAndDispatch(MSG* msg) {
  if (PreTranslateInput(msg)) return;
  TranslateMessage(msg);
  DispatchMessageW(msg);
}

}  // namespace

bool PumpMessage() {
  MSG msg;
  BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0) {
    PostQuitMessage((int)msg.wParam);
    return false;
  }
  if (got == -1) return true;
  TranslateAndDispatch(&msg);
  return true;
}

bool PumpPendingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage((int)msg.wParam);
      return false;
    }
    TranslateAndDispatch(&msg);
  }
  return true;
}

int RunMessageLoop() {
  MSG msg;
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return (int)msg.wParam;
    if (got == -1) continue;
    TranslateAndDispatch(&msg);
  }
}

bool WaitForHandlesDispatchingSent(const HANDLE* handles, size_t count, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (size_t i = 0; i < count; ++i) {
    HANDLE h = handles[i];
    if (!h) continue;
    for (;;) {
      DWORD left = INFINITE;
      if (timeoutMs != INFINITE) {
        DWORD spent = GetTickCount() - start;
        left = spent >= timeoutMs ? 0 : timeoutMs - spent;
      }
      DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, left, QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0) break;
      if (r != WAIT_OBJECT_0 + 1) return false;
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // runs the sent messages
    }
  }
  return true;
}
