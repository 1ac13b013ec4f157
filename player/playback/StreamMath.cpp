#include "player/playback/StreamMath.h"

#include <algorithm>
#include <cwctype>

int StreamReadCount(int readPos, int writePos, int total, int max) {
  if (total > 0 && readPos >= total) return kReadEndOfSong;
  if (readPos > writePos) return kReadBeyondData;
  if (max <= 0) return 0;
  return std::min(max, writePos - readPos);
}

int StreamWritableCount(int writePos, int total, int n) {
  if (n <= 0 || writePos >= total) return 0;
  return std::min(n, total - writePos);
}

int StreamSeekPosition(int seconds, int lengthSeconds, int total) {
  if (lengthSeconds <= 0 || seconds <= 0 || total <= 0) return 0;
  long long pos = (long long)seconds * total / lengthSeconds;
  return (int)std::min<long long>(pos, total);
}

int BufferingPercent(long long bytes) {
  if (bytes <= 0) return 0;
  long long percent = bytes * 100 / kPreBufferBytes;
  return (int)std::min<long long>(percent, 99);
}

unsigned DisplayPosition(int seekTarget, unsigned librarySeconds, int libraryAtSeek) {
  return (unsigned)seekTarget + librarySeconds - (unsigned)libraryAtSeek;
}

bool IsHttpSource(const std::wstring& source) {
  if (source.size() < 4) return false;
  static const wchar_t kScheme[] = L"HTTP";
  for (int i = 0; i < 4; ++i) {
    if ((wchar_t)std::towupper(source[i]) != kScheme[i]) return false;
  }
  return true;
}

std::wstring TitleFromPath(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}
