// The player engine: plays one song from a local file or an HTTP URL. A download thread fills the
// stream buffer; a play thread opens the stream once enough is there, starts playback and watches
// position and end; the audio player's own thread asks for more bytes through the feed callback.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "player/playback/MusicBuffer.h"

namespace audio {
class AudioPlayer;
}
class CHttpDownloader;

class CMusicPlayer {
 public:
  CMusicPlayer();
  // Call only after safeExit() returned 1 (or before Start); as a last resort it stops and waits.
  ~CMusicPlayer();
  CMusicPlayer(const CMusicPlayer&) = delete;
  CMusicPlayer& operator=(const CMusicPlayer&) = delete;

  // A local file is passed as source, source2 and cachePath alike; a download as the first URL,
  // the second URL and the song file to save in the music folder. `window` receives the length
  // and position messages. A player starts one track only.
  void Start(HWND window, const std::wstring& source, const std::wstring& source2, const std::wstring& cachePath);
  void SetVolume(int volume);  // 0..100, both channels
  // True while the song is audibly playing (not while paused by the user or for buffering).
  bool IsPlaying();
  void Pause();
  void Resume();
  void Seek(int seconds);
  // Stops the track. 1 when both worker threads have ended and the player may be destroyed at
  // once; 0 when one has not ended yet: call again later. Never kills a thread; while it waits a
  // little it answers the messages the workers send to the calling thread.
  int safeExit();

  // Raised by the HTTP client once the first kPreBufferBytes have arrived.
  void SetReady();

  // For tests and benchmarks.
  int Length() const { return m_nLength; }
  CMusicBuffer& Buffer() { return m_buffer; }
  audio::AudioPlayer* AudioInstance() { return m_pLibrary; }

 private:
  static unsigned __stdcall DownloadThreadProc(void* self);
  static unsigned __stdcall PlayThreadProc(void* self);
  static int FeedCallback(audio::AudioPlayer* instance, void* userData, unsigned int message,
                          std::uintptr_t param1, std::uintptr_t param2);
  void DownloadThread();
  void ReadLocalFile();
  void PlayThread();
  bool Probe(int format);
  void Monitor(int length);
  void Feed(audio::AudioPlayer* library);
  // Ends a track that failed to start: trace, done, next song due, end message.
  void EndFailedTrack(const wchar_t* trace);
  // Sleeps up to ms; true when the stop flag is (or becomes) set.
  bool SleepUnlessStopped(DWORD ms);
  // One poll of the ready flag: waits up to ms unless it is raised; true when the stop flag is set.
  bool WaitForReady(DWORD ms);
  // Reaps the worker threads that have ended; true when none is left.
  bool ReapThreads();
  // Waits up to ms for the worker threads, answering messages sent to this thread meanwhile.
  void WaitForThreads(DWORD ms);

  std::atomic<int> m_bStop{0};
  std::atomic<int> m_bSuccess{1};
  CMusicBuffer m_buffer;
  CHttpDownloader* m_pHttp = nullptr;
  std::atomic<int> m_bReady{0};
  std::atomic<int> m_bDownloadDone{0};
  std::atomic<int> m_bPlayDone{0};
  std::atomic<int> m_nLength{0};
  std::atomic<int> m_nSeekTarget{0};
  std::atomic<int> m_nLibraryAtSeek{0};
  audio::AudioPlayer* m_pLibrary = nullptr;
  std::wstring m_strSource;
  std::wstring m_strSource2;
  HWND m_hMsgWnd = nullptr;
  std::atomic<int> m_bUserPaused{0};
  HANDLE m_ThreadDownload = nullptr;
  HANDLE m_bPlayThreadd = nullptr;

  // Wake the workers' sleeps at once when the stop flag is set, and the play thread's wait for
  // data as soon as the ready flag is.
  HANDLE m_hStopEvent = nullptr;
  HANDLE m_hReadyEvent = nullptr;
  bool m_bStarted = false;
  // The stream's working buffers: the first bytes for opening it, and one feed chunk in and out.
  std::unique_ptr<unsigned char[]> m_pProbe;
  std::unique_ptr<unsigned char[]> m_pPush;
  std::unique_ptr<unsigned char[]> m_pReadChunk;
};
