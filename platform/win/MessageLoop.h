// Our message loop. Every loop of the program (the application's, a modal dialog's) goes through
// PumpMessage, so that window objects see input first in PreTranslateMessage.
#pragma once
#include <windows.h>

#include <cstddef>

// Offers the message to the objects of its window and of that window's ancestors up to the
// top-level window, innermost first. True = one of them consumed it.
bool PreTranslateInput(MSG* msg);
// Takes one message (waiting for it), pre-translates, translates and dispatches it.
// False on WM_QUIT, which is posted again so that the outer loop also ends.
bool PumpMessage();
// Handles the messages already queued, without waiting. False when WM_QUIT was among them (posted again).
bool PumpPendingMessages();
// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Waits until every handle (null entries are skipped) is signalled or the time is up. Meanwhile
// messages that other threads send to this thread's windows are handled, so a worker blocked in
// SendMessage to our window can finish; posted messages stay queued. True when all were signalled.
bool WaitForHandlesDispatchingSent(const HANDLE* handles, size_t count, DWORD timeoutMs);
