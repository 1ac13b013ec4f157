// Threads and locks. Every thread procedure runs with exceptions caught, so none can end the
// process from a worker; each lock guards one thing and is held for one operation.
#pragma once
#include <windows.h>

class CCriticalSection {
 public:
  CCriticalSection() { InitializeCriticalSection(&m_cs); }
  ~CCriticalSection() { DeleteCriticalSection(&m_cs); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;
  void Lock() { EnterCriticalSection(&m_cs); }
  void Unlock() { LeaveCriticalSection(&m_cs); }

 private:
  CRITICAL_SECTION m_cs;
};

// Holds a critical section for the life of the object.
class CSectionLock {
 public:
  explicit CSectionLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Lock(); }
  ~CSectionLock() { m_cs.Unlock(); }
  CSectionLock(const CSectionLock&) = delete;
  CSectionLock& operator=(const CSectionLock&) = delete;

 private:
  CCriticalSection& m_cs;
};

// CreateThread (default security and stack, running at once) with `proc(param)` run inside a
// catch-all; an exception is reported under `name` and the thread ends with code 1.
// `name` must be a string literal. Returns the thread handle (the caller closes it) or null.
HANDLE StartThread(LPTHREAD_START_ROUTINE proc, void* param, const wchar_t* name);
