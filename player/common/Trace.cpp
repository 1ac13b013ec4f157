#include "player/common/Trace.h"

#include <windows.h>

#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/common/TraceFormat.h"

namespace {

// Guards the appends to the trace file so lines of different threads never interleave.
CRITICAL_SECTION* TraceFileLock() {
  static CRITICAL_SECTION lock;
  static bool ready = [] { InitializeCriticalSection(&lock); return true; }();
  (void)ready;
  return &lock;
}

}  // namespace

std::wstring TraceFilePath() { return GetAppFolder() + L"\\Halvery.log"; }

void Trace(const std::wstring& text) {
  SYSTEMTIME t;
  GetSystemTime(&t);
  std::string line = FormatTracePrefix(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  line += WideToUtf8(text);
  line += "\r\n";

  EnterCriticalSection(TraceFileLock());
  HANDLE f = CreateFileW(TraceFilePath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(f, line.data(), (DWORD)line.size(), &written, nullptr);
    CloseHandle(f);
  }
  LeaveCriticalSection(TraceFileLock());
}

void Trace(const wchar_t* text) { Trace(std::wstring(text ? text : L"")); }

void DebugLine(const std::wstring& text) { OutputDebugStringW(text.c_str()); }
