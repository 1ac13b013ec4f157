#include "platform/win/Thread.h"

#include <exception>

#include "platform/win/Wnd.h"

namespace {

struct ThreadStart {
  LPTHREAD_START_ROUTINE proc;
  void* param;
  const wchar_t* name;
};

DWORD WINAPI GuardedThreadProc(LPVOID arg) {
  ThreadStart start = *static_cast<ThreadStart*>(arg);
  delete static_cast<ThreadStart*>(arg);
  try {
    return start.proc(start.param);
  } catch (const std::exception& e) {
    ReportWindowError(start.name, e.what());
  } catch (...) {
    ReportWindowError(start.name, "unknown exception");
  }
  return 1;
}

}  // namespace

HANDLE StartThread(LPTHREAD_START_ROUTINE proc, void* param, const wchar_t* name) {
  ThreadStart* start = new ThreadStart{proc, param, name ? name : L"thread"};
  HANDLE h = CreateThread(nullptr, 0, GuardedThreadProc, start, 0, nullptr);
  if (!h) delete start;
  return h;
}
