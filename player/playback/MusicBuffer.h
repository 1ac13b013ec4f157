// One song's bytes while they arrive: a memory block of the song's full size, mirrored into the
// temporary file, read by the audio player's feed callback while the download still writes.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace audio {
class AudioPlayer;
}

class CMusicBuffer {
 public:
  CMusicBuffer();
  ~CMusicBuffer();
  CMusicBuffer(const CMusicBuffer&) = delete;
  CMusicBuffer& operator=(const CMusicBuffer&) = delete;

  void SetNames(const std::wstring& cachePath, const std::wstring& url);
  // Makes room for a song of `bytes` bytes and starts over at its beginning. False (and an empty
  // buffer) when the size is not positive, above the download cap, or the memory is not there.
  bool SetTotal(long long bytes);
  // Appends up to n bytes; what would pass the total is dropped. Returns n.
  int Write(const void* data, int n);
  // Takes up to max bytes from the read position: the count, 0 when nothing new has arrived,
  // kReadEndOfSong or kReadBeyondData (StreamMath.h).
  int Read(void* out, int max);
  // Moves the read position to the byte that corresponds to `seconds` of `lengthSeconds`.
  void Seek(int seconds, int lengthSeconds);
  // The audio player's format for the temporary file; 0 when it holds no MP3.
  int DetectFormat(audio::AudioPlayer* library);
  // Whole seconds of the song, from its first frames and its total size; 0 when unknown.
  int MeasureLength();
  std::wstring Title() const;
  // True when playback may go on after a buffering pause: more than the pre-buffer threshold lies
  // ahead of the reader, or the rest of the song is all here. Writes the title label either way.
  bool CheckBuffered();
  // Saves the complete song under the cache path; false when incomplete or the file failed.
  bool SaveIfComplete();

  void SetAbort() { m_bAbort = 1; }
  bool IsAborted() const { return m_bAbort != 0; }
  int Total() const { return m_nTotal; }
  int WritePosition() const { return m_nWritePos; }
  int ReadPosition() const { return m_nReadPos; }
  const std::wstring& CachePath() const { return m_strCachePath; }

 private:
  void ReopenTempFile();  // with the write lock held

  std::wstring m_strTempPath;
  std::wstring m_strCachePath;
  std::wstring m_strUrl;
  // The reader reads the write position without the write lock: the writer copies bytes before it
  // advances the position and only ever appends.
  std::atomic<int> m_nReadPos{0};
  std::atomic<int> m_nWritePos{0};
  std::atomic<int> m_nTotal{0};
  FILE* m_pFile = nullptr;
  unsigned char* m_pData = nullptr;
  CRITICAL_SECTION m_writeLock;
  CRITICAL_SECTION m_readLock;
  std::atomic<int> m_bAbort{0};
};
