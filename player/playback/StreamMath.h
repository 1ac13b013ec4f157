// The arithmetic of the song's stream buffer, kept free of Windows: what a read may take, where a
// seek puts the reader, the buffering percentage, the position shown after a seek.
#pragma once
#include <string>

// Playback starts once this many bytes are in; the buffering percentage counts towards it.
constexpr int kPreBufferBytes = 40960;

// Results of a read besides a count of bytes.
constexpr int kReadEndOfSong = -1;     // the reader has consumed the whole song
constexpr int kReadBeyondData = -2;    // a seek put the reader past the bytes received so far

// How many bytes a read of at most `max` takes at `readPos`, or one of the results above.
// 0 means nothing new has arrived yet.
int StreamReadCount(int readPos, int writePos, int total, int max);

// How many of n bytes fit when writing at writePos; the rest of what a server sends beyond the
// announced size is dropped.
int StreamWritableCount(int writePos, int total, int n);

// The read position for a seek to `seconds` of a song `lengthSeconds` long and `total` bytes big,
// proportional to the time and within 0..total. A length of 0 gives 0.
int StreamSeekPosition(int seconds, int lengthSeconds, int total);

// "正在缓冲：%d %%" shows how far `bytes` is towards kPreBufferBytes, truncated and held within
// 0..99 (at 100 playback resumes and the title replaces the percentage).
int BufferingPercent(long long bytes);

// The position shown while playing: the seek target plus what the player has played since the
// seek. Unsigned like the player's own counter.
unsigned DisplayPosition(int seekTarget, unsigned librarySeconds, int libraryAtSeek);

// True when a source names an HTTP download: its first four characters, upper-cased, are "HTTP".
bool IsHttpSource(const std::wstring& source);

// The song's title for the label: the file name of the cache path without its extension.
std::wstring TitleFromPath(const std::wstring& path);
