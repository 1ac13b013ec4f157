#include "player/playback/MusicBuffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "audio/AudioPlayer.h"
#include "audio/Mp3Frames.h"
#include "platform/Text.h"
#include "player/common/Globals.h"
#include "player/playback/HttpParse.h"
#include "player/playback/StreamMath.h"
#include "player/playback/TitleLabel.h"

namespace {

// The audio player takes 8-bit paths. A path the ANSI code page cannot spell is passed in its
// short (8.3) form, which is plain ASCII.
std::string AnsiPathFor(const std::wstring& path) {
  std::string ansi = WideToThreadAnsi(path);
  if (ThreadAnsiToWide(ansi) == path) return ansi;
  wchar_t shortPath[MAX_PATH] = {};
  DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return WideToThreadAnsi(shortPath);
  return ansi;
}

class Lock {
 public:
  explicit Lock(CRITICAL_SECTION* cs) : m_cs(cs) { EnterCriticalSection(m_cs); }
  ~Lock() { LeaveCriticalSection(m_cs); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CRITICAL_SECTION* m_cs;
};

}  // namespace

CMusicBuffer::CMusicBuffer() {
  InitializeCriticalSection(&m_writeLock);
  InitializeCriticalSection(&m_readLock);
  m_strTempPath = g_strTempMusicPath;
  if (!m_strTempPath.empty()) m_pFile = _wfopen(m_strTempPath.c_str(), L"wb+");
  if (m_pFile) fseek(m_pFile, 0, SEEK_SET);
}

CMusicBuffer::~CMusicBuffer() {
  if (m_pFile) fclose(m_pFile);
  std::free(m_pData);
  DeleteCriticalSection(&m_readLock);
  DeleteCriticalSection(&m_writeLock);
}

void CMusicBuffer::SetNames(const std::wstring& cachePath, const std::wstring& url) {
  m_strCachePath = cachePath;
  m_strUrl = url;
}

bool CMusicBuffer::SetTotal(long long bytes) {
  Lock writing(&m_writeLock);
  Lock reading(&m_readLock);
  std::free(m_pData);
  m_pData = nullptr;
  m_nReadPos = 0;
  m_nWritePos = 0;
  m_nTotal = 0;
  if (bytes <= 0 || bytes > kMaxContentLength) return false;
  // Zeroed, because the whole block goes to the temporary file at once.
  m_pData = static_cast<unsigned char*>(std::calloc((size_t)bytes, 1));
  if (!m_pData) return false;
  m_nTotal = (int)bytes;
  if (m_pFile) {
    // The file gets its final size from the start; the length measurement relies on it.
    fseek(m_pFile, 0, SEEK_SET);
    fwrite(m_pData, 1, (size_t)bytes, m_pFile);
    fflush(m_pFile);
    fseek(m_pFile, 0, SEEK_SET);
  }
  return true;
}

int CMusicBuffer::Write(const void* data, int n) {
  if (!data || n <= 0) return n;
  Lock writing(&m_writeLock);
  int writePos = m_nWritePos;
  int count = StreamWritableCount(writePos, m_nTotal, n);
  if (count > 0 && m_pData) {
    std::memcpy(m_pData + writePos, data, count);
    m_nWritePos = writePos + count;  // only after the bytes are in: the reader trusts it
    if (m_pFile) fwrite(data, 1, count, m_pFile);
  }
  return n;
}

int CMusicBuffer::Read(void* out, int max) {
  Lock reading(&m_readLock);
  int readPos = m_nReadPos;
  int count = StreamReadCount(readPos, m_nWritePos, m_nTotal, max);
  if (count > 0 && out && m_pData) {
    std::memcpy(out, m_pData + readPos, count);
    m_nReadPos = readPos + count;
  }
  return count;
}

void CMusicBuffer::Seek(int seconds, int lengthSeconds) {
  Lock reading(&m_readLock);
  m_nReadPos = StreamSeekPosition(seconds, lengthSeconds, m_nTotal);
}

void CMusicBuffer::ReopenTempFile() {
  m_pFile = _wfopen(m_strTempPath.c_str(), L"rb+");
  if (m_pFile) fseek(m_pFile, m_nWritePos, SEEK_SET);
}

int CMusicBuffer::DetectFormat(audio::AudioPlayer* library) {
  if (!library) return audio::kFormatUnknown;
  Lock writing(&m_writeLock);
  if (!m_pFile) {
    // Without the temporary file (a program folder we may not write to) the bytes in memory
    // still tell whether this is an MP3.
    if (!m_pData) return audio::kFormatUnknown;
    return audio::AnalyzeMp3(m_pData, (size_t)m_nWritePos).found ? audio::kFormatMp3 : audio::kFormatUnknown;
  }
  fclose(m_pFile);
  m_pFile = nullptr;
  int format = library->GetFileFormat(AnsiPathFor(m_strTempPath).c_str());
  ReopenTempFile();
  return format;
}

int CMusicBuffer::MeasureLength() {
  Lock writing(&m_writeLock);
  if (!m_pData || m_nTotal <= 0) return 0;
  // The block has the song's full size, like the temporary file; only its first frames must be
  // real for the measurement.
  return (int)audio::MeasureMp3Seconds(m_pData, (size_t)m_nTotal);
}

std::wstring CMusicBuffer::Title() const { return TitleFromPath(m_strCachePath); }

bool CMusicBuffer::CheckBuffered() {
  int total = m_nTotal;
  int writePos = m_nWritePos;
  int unread = writePos - m_nReadPos;
  bool restIsHere = total > 0 && writePos == total && unread > 0;
  if (unread > kPreBufferBytes || restIsHere) {
    SetTitleLabel(Title());
    return true;
  }
  SetTitleLabel(BufferingLabel(unread));
  return false;
}

bool CMusicBuffer::SaveIfComplete() {
  Lock writing(&m_writeLock);
  int total = m_nTotal;
  if (total == 0 || m_nWritePos != total || !m_pData || m_strCachePath.empty()) return false;
  // Written beside the final name and then moved over it, so a failed write never leaves a cut
  // song where the next play would take it for complete.
  std::wstring part = m_strCachePath + L".part";
  FILE* f = _wfopen(part.c_str(), L"wb");
  if (!f) return false;
  bool ok = fwrite(m_pData, 1, (size_t)total, f) == (size_t)total;
  ok = (fclose(f) == 0) && ok;
  if (ok) ok = MoveFileExW(part.c_str(), m_strCachePath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) DeleteFileW(part.c_str());
  return ok;
}
