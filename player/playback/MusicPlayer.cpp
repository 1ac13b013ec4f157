#include "player/playback/MusicPlayer.h"

#include <process.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "audio/AudioPlayer.h"
#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/common/Messages.h"
#include "player/common/PlayState.h"
#include "player/common/Trace.h"
#include "player/playback/HttpDownloader.h"
#include "player/playback/StreamMath.h"
#include "player/playback/TitleLabel.h"

namespace {

// Opening the stream: the first bytes are offered in chunks of this size until the player
// recognises them, at most up to this many bytes of chunk offsets.
constexpr int kProbeChunk = 40960;
constexpr int kProbeLimit = 0x100000;
constexpr int kProbeBufferBytes = 4194304;
constexpr DWORD kProbeRetryMs = 1000;
// The player is fed in chunks of this size from its own thread.
constexpr int kFeedChunk = 10240;
// The play thread waits for enough data at most kReadyPolls times kReadyPollMs (about 200 s).
constexpr DWORD kReadyPollMs = 200;
constexpr int kReadyPolls = 1001;
constexpr DWORD kMonitorMs = 300;
constexpr int kLocalReadChunk = 1024;
// How long safeExit waits for the workers before it reports that they have not ended yet.
constexpr DWORD kSafeExitWaitMs = 500;

}  // namespace

CMusicPlayer::CMusicPlayer() {
  m_pHttp = new (std::nothrow) CHttpDownloader(this);
  m_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_hReadyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_pLibrary = audio::CreateAudioPlayer();
  m_pPush.reset(new (std::nothrow) unsigned char[kFeedChunk]());
  m_pReadChunk.reset(new (std::nothrow) unsigned char[kFeedChunk]);
}

CMusicPlayer::~CMusicPlayer() {
  if (m_ThreadDownload || m_bPlayThreadd) {
    // Destroyed without a successful safeExit: the workers still use this object.
    DebugLine(L"CMusicPlayer destroyed while its threads run: waiting for them");
    safeExit();
    while (!ReapThreads()) WaitForThreads(INFINITE);
  }
  delete m_pHttp;
  m_pHttp = nullptr;
  if (m_pLibrary) {
    // Before the buffer goes: the player's callback reads it until Close returns.
    m_pLibrary->Close();
    m_pLibrary->Release();
    m_pLibrary = nullptr;
  }
  if (m_hStopEvent) CloseHandle(m_hStopEvent);
  if (m_hReadyEvent) CloseHandle(m_hReadyEvent);
}

void CMusicPlayer::Start(HWND window, const std::wstring& source, const std::wstring& source2,
                         const std::wstring& cachePath) {
  if (m_bStarted) return;
  m_bStarted = true;
  m_hMsgWnd = window;
  try {
    m_strSource = source;
    m_strSource2 = source2;
    m_buffer.SetNames(cachePath, source);
    SetTitleLabel(L"正在缓冲……");
  } catch (...) {
    // Out of memory for a few strings: the song fails like a file that does not open.
    m_strSource.clear();
  }

  m_ThreadDownload = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, DownloadThreadProc, this, 0, nullptr));
  if (!m_ThreadDownload) {
    // Without a download the play thread reports the song as failed.
    m_bSuccess = 0;
    SetReady();
    m_bDownloadDone = 1;
  }
  m_bPlayThreadd = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, PlayThreadProc, this, 0, nullptr));
  if (!m_bPlayThreadd) m_bPlayDone = 1;
}

void CMusicPlayer::SetVolume(int volume) {
  if (m_pLibrary) m_pLibrary->SetPlayerVolume(volume, volume);
}

bool CMusicPlayer::IsPlaying() {
  if (!m_pLibrary) return false;
  audio::PlayerStatus status = {};
  m_pLibrary->GetStatus(&status);
  // Our player reports playing = 1 while paused as well.
  return status.playing == 1 && status.paused == 0;
}

void CMusicPlayer::Pause() {
  m_bUserPaused = 1;
  if (m_pLibrary) m_pLibrary->Pause();
}

void CMusicPlayer::Resume() {
  m_bUserPaused = 0;
  if (m_pLibrary) m_pLibrary->Play();
}

void CMusicPlayer::Seek(int seconds) {
  if (seconds < 0) seconds = 0;
  audio::TimePosition position = {};
  if (m_pLibrary) m_pLibrary->GetPosition(&position);
  m_nLibraryAtSeek = (int)position.seconds;
  m_nSeekTarget = seconds;
  m_buffer.Seek(seconds, m_nLength);
}

int CMusicPlayer::safeExit() {
  m_bStop = 1;
  m_buffer.SetAbort();
  if (m_hStopEvent) SetEvent(m_hStopEvent);
  if (m_pHttp) m_pHttp->Abort();

  if (!ReapThreads()) {
    WaitForThreads(kSafeExitWaitMs);
    ReapThreads();
  }
  // A thread that was never started counts as ended.
  if (!m_ThreadDownload && !m_bPlayThreadd) {
    Trace(L"播放线程或下载线程已停止");
    return 1;
  }
  Trace(L"停止播放失败，播放线程或下载线程未结束,等待第下一次调用");
  return 0;
}

bool CMusicPlayer::ReapThreads() {
  if (m_ThreadDownload && WaitForSingleObject(m_ThreadDownload, 0) == WAIT_OBJECT_0) {
    CloseHandle(m_ThreadDownload);
    m_ThreadDownload = nullptr;
    DebugLine(L"safeExit m_ThreadDownload");
    m_bDownloadDone = 1;
  }
  if (m_bPlayThreadd && WaitForSingleObject(m_bPlayThreadd, 0) == WAIT_OBJECT_0) {
    CloseHandle(m_bPlayThreadd);
    m_bPlayThreadd = nullptr;
    DebugLine(L"safeExit m_bPlayThreadd");
    m_bPlayDone = 1;
  }
  return !m_ThreadDownload && !m_bPlayThreadd;
}

void CMusicPlayer::WaitForThreads(DWORD ms) {
  // The workers send messages to the main window and write its label; when the caller is the
  // window's thread, those must be answered or the wait and the worker block each other.
  DWORD start = GetTickCount();
  HANDLE threads[] = {m_ThreadDownload, m_bPlayThreadd};
  for (HANDLE thread : threads) {
    if (!thread) continue;
    for (;;) {
      DWORD remaining = INFINITE;
      if (ms != INFINITE) {
        DWORD elapsed = GetTickCount() - start;
        remaining = elapsed >= ms ? 0 : ms - elapsed;
      }
      DWORD r = MsgWaitForMultipleObjectsEx(1, &thread, remaining, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
      if (r != WAIT_OBJECT_0 + 1) break;
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
  }
}

void CMusicPlayer::SetReady() {
  m_bReady = 1;
  if (m_hReadyEvent) SetEvent(m_hReadyEvent);
}

bool CMusicPlayer::WaitForReady(DWORD ms) {
  if (!m_hStopEvent || !m_hReadyEvent) return SleepUnlessStopped(ms);
  HANDLE events[] = {m_hStopEvent, m_hReadyEvent};
  WaitForMultipleObjects(2, events, FALSE, ms);
  return m_bStop != 0;
}

bool CMusicPlayer::SleepUnlessStopped(DWORD ms) {
  if (m_bStop) return true;
  if (m_hStopEvent) {
    WaitForSingleObject(m_hStopEvent, ms);
  } else {
    for (DWORD slept = 0; slept < ms && !m_bStop; slept += 10) Sleep(10);
  }
  return m_bStop != 0;
}

unsigned __stdcall CMusicPlayer::DownloadThreadProc(void* self) {
  CMusicPlayer* player = static_cast<CMusicPlayer*>(self);
  try {
    player->DownloadThread();
  } catch (...) {
    player->m_bSuccess = 0;
    player->SetReady();
  }
  player->m_bDownloadDone = 1;
  return 0;
}

unsigned __stdcall CMusicPlayer::PlayThreadProc(void* self) {
  CMusicPlayer* player = static_cast<CMusicPlayer*>(self);
  try {
    player->PlayThread();
  } catch (...) {
  }
  player->m_bPlayDone = 1;
  return 0;
}

void CMusicPlayer::DownloadThread() {
  if (IsHttpSource(m_strSource)) {
    if (!m_pHttp) {
      m_bSuccess = 0;
      SetReady();
      return;
    }
    // The result does not matter here: the play thread starts only once enough has arrived.
    m_pHttp->Download(&m_buffer, WideToThreadAnsi(m_strSource), WideToThreadAnsi(m_strSource2));
  } else {
    ReadLocalFile();
    SetReady();
  }
}

void CMusicPlayer::ReadLocalFile() {
  FILE* file = _wfopen(m_strSource.c_str(), L"rb");
  if (!file) {
    m_bSuccess = 0;
    return;
  }
  long long length = -1;
  if (_fseeki64(file, 0, SEEK_END) == 0) length = _ftelli64(file);
  _fseeki64(file, 0, SEEK_SET);
  if (length > 0 && !m_buffer.SetTotal(length)) {
    // Too big for memory: as unusable as a file that does not open.
    m_bSuccess = 0;
  } else if (length > 0) {
    unsigned char chunk[kLocalReadChunk];
    long long done = 0;
    while (done < length && !m_bStop) {
      size_t n = fread(chunk, 1, kLocalReadChunk, file);
      if (n == 0) break;  // the file shrank while we read it
      m_buffer.Write(chunk, (int)n);
      done += (long long)n;
    }
  }
  fclose(file);
}

void CMusicPlayer::EndFailedTrack(const wchar_t* trace) {
  Trace(trace);
  g_bAutoNext = 1;
  if (g_hMainWnd) PostMessageW(g_hMainWnd, WM_TRACK_ENDED, 0, 0);
}

void CMusicPlayer::PlayThread() {
  if (m_bStop) return;
  for (int polls = 0; !m_bReady;) {
    if (polls++ == kReadyPolls) return;
    if (WaitForReady(kReadyPollMs)) return;
  }
  if (m_bStop) return;
  if (!m_bSuccess) {
    EndFailedTrack(L"文件下载失败！");
    return;
  }
  SetTitleLabel(m_buffer.Title());

  int length = m_buffer.MeasureLength();
  m_nLength = length;
  if (m_bStop) return;
  if (m_hMsgWnd) SendMessageW(m_hMsgWnd, WM_PLAY_LENGTH, 0, (LPARAM)length);

  if (m_bStop) return;
  int format = m_buffer.DetectFormat(m_pLibrary);
  if (format == audio::kFormatUnknown) {
    if (!m_bStop) EndFailedTrack(L"不支持的格式！");
    return;
  }
  m_pLibrary->SetCallbackFunc(FeedCallback, audio::kMsgStreamNeedData, this);
  if (!Probe(format)) {
    if (!m_bStop) EndFailedTrack(L"无效的MP3格式！");
    return;
  }
  if (m_bStop) return;
  m_pLibrary->Play();
  Monitor(length);
  if (!m_bStop && g_hMainWnd) PostMessageW(g_hMainWnd, WM_TRACK_ENDED, 0, 0);
}

bool CMusicPlayer::Probe(int format) {
  if (!m_pProbe) m_pProbe.reset(new (std::nothrow) unsigned char[kProbeBufferBytes]);
  if (!m_pProbe) return false;
  unsigned char* probe = m_pProbe.get();
  int sum = 0;
  int offset = 0;
  while (offset < kProbeLimit && !m_bStop) {
    int n = m_buffer.Read(probe + sum, kProbeChunk);
    if (n == kReadEndOfSong) return false;
    if (n == 0 || n == kReadBeyondData) {
      // Nothing at the read position yet (the download is behind, or a seek went past it).
      SleepUnlessStopped(kProbeRetryMs);
      continue;
    }
    sum += n;
    if (m_pLibrary->OpenStream(1, 1, probe, (unsigned)sum, format) == 1) return true;
    offset += kProbeChunk;
  }
  return true;
}

void CMusicPlayer::Monitor(int length) {
  g_bAutoNext = 0;
  while (!m_bStop) {
    audio::TimePosition time = {};
    m_pLibrary->GetPosition(&time);
    unsigned position = DisplayPosition(m_nSeekTarget, time.seconds, m_nLibraryAtSeek);
    if (m_hMsgWnd) PostMessageW(m_hMsgWnd, WM_PLAY_POSITION, position / 60, position % 60);
    // The length is whole seconds, truncated: a song normally ends by the player running out of
    // data. Only a player still going a whole second past the length is stopped here (and a length
    // of 0, which could not be measured, never stops it).
    if (length > 0 && position > (unsigned)length) {
      g_bAutoNext = 1;
      return;
    }
    audio::PlayerStatus status = {};
    m_pLibrary->GetStatus(&status);
    if (!status.playing && !status.paused) {
      SetTitleLabel(L"");
      g_bAutoNext = 1;
      return;
    }
    if (status.paused == 1) {
      // Also while the user has paused: the label then shows how much lies ahead. Once the
      // download has ended nothing more will come: the stream plays out what it holds.
      bool buffered = m_buffer.CheckBuffered();
      if ((buffered || m_bDownloadDone) && !m_bUserPaused) m_pLibrary->Play();
    }
    if (SleepUnlessStopped(kMonitorMs)) return;
  }
}

int CMusicPlayer::FeedCallback(audio::AudioPlayer* instance, void* userData, unsigned int message,
                               std::uintptr_t param1, std::uintptr_t param2) {
  if (message != audio::kMsgStreamNeedData || !userData) return 0;
  try {
    static_cast<CMusicPlayer*>(userData)->Feed(instance);
  } catch (...) {
  }
  return 0;
}

void CMusicPlayer::Feed(audio::AudioPlayer* library) {
  unsigned char* push = m_pPush.get();
  if (!push || !m_pReadChunk) {
    library->PushDataToStream(push, 0);
    return;
  }
  // Read before the bytes: every byte of a download that has ended is in by then.
  const bool downloadOver = m_bDownloadDone != 0;
  int n = m_buffer.Read(m_pReadChunk.get(), kFeedChunk);
  if (m_bStop) {
    library->PushDataToStream(push, 0);
  } else if (n > 0) {
    std::memcpy(push, m_pReadChunk.get(), (size_t)n);
    library->PushDataToStream(push, (unsigned)n);
  } else if (n == 0 && !downloadOver) {
    // The download is behind: hold playback until the monitor sees enough ahead. Nothing is
    // pushed, so no audio is played twice.
    library->PushDataToStream(push, 0);
    library->Pause();
  } else {
    // Everything consumed, a seek went past what has arrived, or a download that ended early
    // has nothing more to give.
    library->PushDataToStream(push, 0);
  }
}
