// The two values through which the player engine and playback control coordinate the start and
// the end of songs.
#pragma once
#include <windows.h>

// A request to start the current song: 1 = idle, 0 = a start is requested (the play driver
// picks it up). Every read and write takes the value's own lock, never held across a call.
class CPlayRequest {
 public:
  CPlayRequest();
  ~CPlayRequest();
  CPlayRequest(const CPlayRequest&) = delete;
  CPlayRequest& operator=(const CPlayRequest&) = delete;

  int Get();
  void Set(int value);

 private:
  CRITICAL_SECTION m_lock;
  int m_nValue = 1;
};

extern CPlayRequest g_PlayRequest;

// Written by the engine just before it posts the end-of-track message: 1 when the song ended by
// itself or failed to play, so the next one is due; 0 when the same song should start again.
extern int g_bAutoNext;
