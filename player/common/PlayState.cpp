#include "player/common/PlayState.h"

CPlayRequest g_PlayRequest;
int g_bAutoNext = 0;

CPlayRequest::CPlayRequest() { InitializeCriticalSection(&m_lock); }

CPlayRequest::~CPlayRequest() { DeleteCriticalSection(&m_lock); }

int CPlayRequest::Get() {
  EnterCriticalSection(&m_lock);
  int value = m_nValue;
  LeaveCriticalSection(&m_lock);
  return value;
}

void CPlayRequest::Set(int value) {
  EnterCriticalSection(&m_lock);
  m_nValue = value;
  LeaveCriticalSection(&m_lock);
}
